// The event side of kvhost: sinks, handlers, and the message loop of wait and waitfor.

#include "tools/kvhost/event_host.h"

#include <poll.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <utility>

#include "platform/com/connpt.h"
#include "platform/user/user.h"
#include "winsock/ocx/interface/iwirran.h"

namespace {

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

const char* eventName(DISPID id) {
    for (const WirranEventName& e : kWirranEvents)
        if (e.id == id) return e.name;
    return nullptr;
}

// Splits off the first blank-separated word of text; the rest keeps its inner blanks.
std::string_view firstWord(std::string_view* text) {
    size_t start = text->find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        *text = {};
        return {};
    }
    size_t end = text->find_first_of(" \t", start);
    std::string_view word = text->substr(start, end == std::string_view::npos ? end : end - start);
    *text = end == std::string_view::npos ? std::string_view{} : text->substr(end);
    size_t rest = text->find_first_not_of(" \t");
    *text = rest == std::string_view::npos ? std::string_view{} : text->substr(rest);
    while (!text->empty() && (text->back() == ' ' || text->back() == '\t' || text->back() == '\r'))
        text->remove_suffix(1);
    return word;
}

// A time in milliseconds: digits only, at most a day.
bool milliseconds(std::string_view text, int* ms) {
    if (text.empty() || text.size() > 8) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    *ms = std::atoi(std::string(text).c_str());
    return *ms <= 86400000;
}

bool validName(std::string_view name) {
    if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_'))
        return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    return true;
}

}  // namespace

EventHost::~EventHost() {
    for (Instance& instance : m_instances)
        if (instance.cookie)
            unadviseSink(instance.control.get(), DIID__IWirranEvents, instance.cookie);
}

bool EventHost::attach(const std::string& name, IDispatch* control) {
    Instance instance;
    instance.control = ComPtr<IDispatch>(control);
    std::string prefix = name.empty() ? "" : name + ".";
    createEventSink(
        DIID__IWirranEvents,
        [this, prefix](DISPID id, DISPPARAMS* params) { onEvent(prefix, id, params); },
        instance.sink.put());
    bool advised =
        SUCCEEDED(adviseSink(control, DIID__IWirranEvents, instance.sink.get(), &instance.cookie));
    if (!advised) instance.cookie = 0;
    m_instances.push_back(std::move(instance));
    return advised;
}

void EventHost::onEvent(const std::string& prefix, DISPID id, DISPPARAMS* params) {
    const char* known = eventName(id);
    std::string name = prefix + (known ? std::string(known) : "Event" + std::to_string(id));
    m_out << eventLine(name, params) << "\n";
    m_out.flush();
    std::string key = lowerCase(name);
    ++m_fired[key];
    auto handler = m_handlers.find(key);
    // A handler whose command raises its own event again is not entered a second time.
    if (handler == m_handlers.end() || m_running[key]) return;
    UINT count = params ? params->cArgs - params->cNamedArgs : 0;
    for (UINT i = 0; i < count; ++i)
        m_runner.setVariable("arg" + std::to_string(i + 1), *dispParamsArg(params, i));
    std::string command = handler->second;  // the command may replace its own handler
    m_running[key] = true;
    std::map<std::string, int> start = m_fired;
    const std::map<std::string, int>* outer = std::exchange(m_handlerStart, &start);
    bool ok = true;
    if (!hostCommand(command, m_handlerLines[key], &ok))
        m_runner.runLine(command, m_handlerLines[key]);
    m_handlerStart = outer;
    m_out.flush();
    m_running[key] = false;
}

bool EventHost::fail(const std::string& message) {
    m_out << message << "\n";
    m_runner.markFailed();
    return false;
}

bool EventHost::pump(int ms, const std::function<bool()>& done) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            if (done()) return true;
        }
        if (done()) return true;
        int left = ms - static_cast<int>(GetTickCount() - start);
        if (left <= 0) return false;
        // The queue's descriptor is readable when a message or a timer is due: an idle wait
        // sleeps in poll and costs nothing.
        pollfd ready{GetQueueReadyFd(), POLLIN, 0};
        poll(&ready, 1, left);
    }
}

bool EventHost::hostCommand(std::string_view line, int lineNumber, bool* ok) {
    std::string_view rest = line;
    std::string word = lowerCase(firstWord(&rest));
    auto usage = [&](const char* form) {
        *ok = fail("error: line " + std::to_string(lineNumber) + ": usage: " + form);
        return true;
    };
    *ok = true;
    if (word == "wait") {
        int ms = 0;
        if (!milliseconds(rest, &ms)) return usage("wait MS");
        pump(ms, [] { return false; });
        return true;
    }
    if (word == "waitfor") {
        std::string event(firstWord(&rest));
        int ms = 0;
        if (event.empty() || !milliseconds(rest, &ms)) return usage("waitfor EVENT MS");
        std::string key = lowerCase(event);
        auto base = [&](const std::map<std::string, int>& counts) {
            auto it = counts.find(key);
            return it == counts.end() ? 0 : it->second;
        };
        int seen = std::max(m_handlerStart ? base(*m_handlerStart) : 0, m_awaited[key]);
        bool fired = pump(ms, [&] { return m_fired[key] > seen; });
        // A wait that timed out has seen nothing, so it uses nothing up.
        if (fired)
            m_awaited[key] = m_fired[key];
        else
            *ok = fail("timeout waiting for " + event);
        return true;
    }
    if (word == "on") {
        std::string event(firstWord(&rest));
        if (event.empty()) return usage("on EVENT [COMMAND]");
        std::string key = lowerCase(event);
        if (rest.empty()) {
            m_handlers.erase(key);
        } else {
            m_handlers[key] = std::string(rest);
            m_handlerLines[key] = lineNumber;
        }
        return true;
    }
    if (word == "create") {
        std::string name(firstWord(&rest));
        if (!validName(name) || !rest.empty()) return usage("create NAME");
        if (m_runner.object(name)) {
            *ok =
                fail("error: line " + std::to_string(lineNumber) + ": " + name + " exists already");
            return true;
        }
        ComPtr<IDispatch> control;
        ComPtr<IUnknown> keep;
        HRESULT hr = m_creator ? m_creator(&control, &keep) : E_NOTIMPL;
        if (FAILED(hr)) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
            *ok = fail(std::string("error ") + code + ": " + hresultText(hr));
            return true;
        }
        attach(name, control.get());
        m_instances.back().keep = std::move(keep);
        m_runner.addObject(name, control.get());
        return true;
    }
    return false;
}
