#include "renamer/http/modhttp.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "renamer/http/response_head.h"
#include "renamer/http/split_url.h"

namespace vantel {

namespace modHTTP {

namespace {

constexpr int32_t kReadChunk = 2048;
constexpr int32_t kProtocolTcp = 6;
constexpr int32_t kCertificateValid = 1;  // wrCertificateValid
constexpr int32_t kStatusTooManyRequests = 429;

Limits g_limits;
TraceHook g_trace;
LastOrigin g_last;

std::string hresultText(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

// The control, looked up by name at every use and called by member name. A failure here is not
// an answer of the network (those come back as result values) but a broken control or host;
// it ends the request and is described for the caller.
class Control {
  public:
    explicit Control(ControlHost& host) : m_host(host) {}

    bool put(const char* name, const Variant& value) {
        IDispatch* ctl = lookUp();
        if (!ctl) return false;
        std::string text;
        HRESULT hr = dispPutProperty(ctl, name, value, &text);
        return check(hr, name, text);
    }

    // A put whose refusal the caller handles: its HRESULT, or nullopt without a control.
    std::optional<HRESULT> tryPut(const char* name, const Variant& value) {
        IDispatch* ctl = lookUp();
        if (!ctl) return std::nullopt;
        return dispPutProperty(ctl, name, value);
    }

    std::optional<int32_t> getLong(const char* name) {
        std::optional<Variant> value = get(name);
        if (!value) return std::nullopt;
        return toLong(*value, name);
    }

    std::optional<std::string> getText(const char* name) {
        std::optional<Variant> value = get(name);
        if (!value) return std::nullopt;
        if (FAILED(value->changeType(VT_BSTR)))
            return fail(std::string(kControlName) + "." + name + " gave no text");
        return bstrToLatin1(value->bstrVal);
    }

    // A method whose result is a number (an error code or a byte count).
    std::optional<int32_t> call(const char* name, std::span<Variant> args) {
        IDispatch* ctl = lookUp();
        if (!ctl) return std::nullopt;
        Variant result;
        std::string text;
        HRESULT hr = dispCall(ctl, name, args, &result, &text);
        if (!check(hr, name, text)) return std::nullopt;
        return toLong(result, name);
    }

    // Read into a string: the count (0 when the server closed, -1 on failure) and the bytes.
    struct Received {
        int32_t count;
        std::string data;
    };
    std::optional<Received> read(int32_t length) {
        Variant buffer;
        Variant args[] = {Variant::byRef(&buffer), Variant(length)};
        std::optional<int32_t> count = call("Read", args);
        if (!count) return std::nullopt;
        if (*count <= 0) return Received{*count, {}};
        if (buffer.vt != VT_BSTR) return fail(std::string(kControlName) + ".Read gave no text");
        return Received{*count, bstrToLatin1(buffer.bstrVal)};
    }

    void disconnect() {
        if (IDispatch* ctl = m_host.control(kControlName)) {
            Variant result;
            dispCall(ctl, "Disconnect", {}, &result);
        }
    }

    const std::string& error() const { return m_error; }

  private:
    std::optional<Variant> get(const char* name) {
        IDispatch* ctl = lookUp();
        if (!ctl) return std::nullopt;
        Variant result;
        std::string text;
        HRESULT hr = dispGetProperty(ctl, name, &result, &text);
        if (!check(hr, name, text)) return std::nullopt;
        return result;
    }

    IDispatch* lookUp() {
        IDispatch* ctl = m_host.control(kControlName);
        if (!ctl) fail(std::string("The control ") + kControlName + " is not available");
        return ctl;
    }

    bool check(HRESULT hr, const char* name, const std::string& text) {
        if (SUCCEEDED(hr)) return true;
        fail(std::string(kControlName) + "." + name +
             " failed: " + (text.empty() ? hresultText(hr) : text + " (" + hresultText(hr) + ")"));
        return false;
    }

    std::optional<int32_t> toLong(Variant& value, const char* name) {
        if (FAILED(value.changeType(VT_I4)))
            return fail(std::string(kControlName) + "." + name + " gave no number");
        return value.lVal;
    }

    std::nullopt_t fail(std::string text) {
        if (m_error.empty()) m_error = std::move(text);
        return std::nullopt;
    }

    ControlHost& m_host;
    std::string m_error;
};

// Waits ms milliseconds in short slices, letting the user interface run between them.
void waitPumping(ControlHost& host, int32_t ms) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    host.pumpEvents();
    while (Clock::now() < deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(50)));
        host.pumpEvents();
    }
}

// The pause before retry number `retry` (1-based) of a request the server answered with 429.
int32_t busyPause(const ResponseHead& head, int32_t retry) {
    int64_t ms = head.retry_after ? *head.retry_after * 1000
                                  : static_cast<int64_t>(g_limits.busy_wait_ms) * retry;
    return static_cast<int32_t>(std::clamp<int64_t>(ms, 0, g_limits.max_busy_wait_ms));
}

std::vector<std::string> requestLines(const UrlParts& parts, const std::string& cookie) {
    std::vector<std::string> lines = {
        "GET " + parts.path + " HTTP/1.0\r\n",
        "Host: " + parts.host + "\r\n",
        "Accept: */*\r\n",
    };
    if (!cookie.empty()) lines.push_back("Cookie: " + cookie + "\r\n");
    lines.push_back("\r\n");
    return lines;
}

// What one pass (one connection) ended with.
struct PassResult {
    enum Kind { Body, Failed, Redirect, Busy } kind = Failed;
    std::string text;   // Body: the body; Redirect: the new URL
    ResponseHead head;  // Busy: the answer that asked for a pause

    static PassResult body(std::string body) { return {Body, std::move(body), {}}; }
    static PassResult redirect(std::string url) { return {Redirect, std::move(url), {}}; }
    static PassResult busy(ResponseHead head) { return {Busy, {}, std::move(head)}; }
};

class Request {
  public:
    Request(ControlHost& host, Control& control) : m_host(host), m_ctl(control) {}

    PassResult pass(const UrlParts& parts, const std::string& cookie);

  private:
    bool setUp(const UrlParts& parts);
    bool send(const UrlParts& parts, const std::string& cookie);
    PassResult receive();
    // Ends the pass after a connection was made: the control is left disconnected.
    PassResult drop(PassResult result = {}) {
        m_ctl.disconnect();
        return result;
    }

    ControlHost& m_host;
    Control& m_ctl;
};

bool Request::setUp(const UrlParts& parts) {
    if (!m_ctl.put("AutoResolve", Variant(false)) || !m_ctl.put("Blocking", Variant(true)) ||
        !m_ctl.put("Timeout", Variant(g_limits.timeout_seconds)))
        return false;
    if (!parts.secure) return m_ctl.put("Secure", Variant(false));
    // A control that cannot secure a channel refuses the property: a failure of this request,
    // not a broken control.
    std::optional<HRESULT> hr = m_ctl.tryPut("Secure", Variant(true));
    if (!hr) return false;
    if (FAILED(*hr)) {
        HttpTrace("HTTP: Unable to initialize security interface", 1);
        return false;
    }
    return true;
}

bool Request::send(const UrlParts& parts, const std::string& cookie) {
    HttpTrace("HTTP: Sending Request...", 1);
    for (const std::string& line : requestLines(parts, cookie)) {
        Variant args[] = {Variant::fromLatin1(line), Variant(static_cast<int32_t>(line.size()))};
        std::optional<int32_t> sent = m_ctl.call("Write", args);
        if (!sent) return false;
        if (*sent != static_cast<int32_t>(line.size())) {
            HttpTrace("HTTP: Unable to send request to " + parts.host, 1);
            return false;
        }
    }
    return true;
}

PassResult Request::receive() {
    HttpTrace("HTTP: Receiving data...", 1);
    std::string header;
    std::string body;
    bool in_header = true;
    int64_t announced = -1;
    for (;;) {
        std::optional<Control::Received> received = m_ctl.read(kReadChunk);
        if (!received) return drop();
        if (received->count == 0) {
            m_ctl.disconnect();
            HttpTrace("HTTP: Downloaded " + std::to_string(body.size()) + " bytes", 1);
            return PassResult::body(std::move(body));
        }
        if (received->count < 0) {
            std::optional<int32_t> code = m_ctl.getLong("LastError");
            std::optional<std::string> text = m_ctl.getText("LastErrorString");
            if (!code || !text) return drop();
            HttpTrace("HTTP: Unable to receive data from server (error " + std::to_string(*code) +
                          *text + ")",
                      1);
            return drop();
        }
        std::string chunk = std::move(received->data);

        if (in_header) {
            size_t searched = header.size() < 3 ? 0 : header.size() - 3;
            header += chunk;
            chunk.clear();
            size_t end = header.find("\r\n\r\n", searched);
            size_t header_size = end == std::string::npos ? header.size() : end + 2;
            if (header_size > g_limits.max_header_bytes) {
                HttpTrace("HTTP: The response header is too long", 1);
                return drop();
            }
            if (end != std::string::npos) {
                // The header block keeps its last CR LF; the rest of the chunk is body.
                chunk = header.substr(end + 4);
                header.resize(end + 2);
                in_header = false;
                ResponseHead head = ParseResponseHead(header);
                if (head.status >= 300 && head.status <= 303) {
                    HttpTrace("HTTP: Following " + std::to_string(head.status) + " redirect...", 1);
                    if (head.location) return drop(PassResult::redirect(*head.location));
                }
                if (head.status == kStatusTooManyRequests) return drop(PassResult::busy(head));
                bool accepted = (head.status >= 200 && head.status <= 299) || head.status == 401;
                if (!accepted) {
                    m_ctl.disconnect();
                    HttpTrace("HTTP: Unhandled return code (" + std::to_string(head.status) + ")",
                              1);
                    return {};
                }
                announced = head.content_length;
            }
        }
        if (!in_header) {
            body += chunk;
            if (body.size() > g_limits.max_body_bytes) {
                HttpTrace("HTTP: The response body is too long", 1);
                return drop();
            }
        }
        if (announced < 1)
            HttpTrace("HTTP: Got " + std::to_string(body.size()) + " bytes", 2);
        else
            HttpTrace("HTTP: Got " + std::to_string(body.size()) + " of " +
                          std::to_string(announced) + " bytes",
                      2);
        m_host.pumpEvents();
    }
}

PassResult Request::pass(const UrlParts& parts, const std::string& cookie) {
    HttpTrace("HTTP: Connecting to " + parts.host + "...", 1);
    m_host.pumpEvents();
    if (!setUp(parts)) return {};

    Variant args[] = {Variant::fromLatin1(parts.host), Variant(parts.port), Variant(kProtocolTcp)};
    std::optional<int32_t> code = m_ctl.call("Connect", args);
    if (!code) return {};
    if (*code != 0) {
        std::optional<int32_t> last = m_ctl.getLong("LastError");
        if (!last) return {};
        HttpTrace(
            "HTTP: Unable to connect to " + parts.host + " (error " + std::to_string(*last) + ")",
            1);
        return {};
    }
    if (parts.secure) {
        // The control keeps a connection whose certificate it could not validate; trusting it
        // would defeat the secure channel.
        std::optional<int32_t> status = m_ctl.getLong("CertificateStatus");
        if (!status) return drop();
        if (*status != kCertificateValid) {
            HttpTrace("HTTP: The certificate of " + parts.host + " is not valid (status " +
                          std::to_string(*status) + ")",
                      1);
            return drop();
        }
    }
    if (!send(parts, cookie)) return drop();
    return receive();
}

}  // namespace

void SetLimits(const Limits& limits) {
    g_limits = limits;
}

const Limits& GetLimits() {
    return g_limits;
}

void SetTraceHook(TraceHook hook) {
    g_trace = std::move(hook);
}

void HttpTrace(const std::string& message, int level) {
    if (g_trace) g_trace(message, level);
}

void ResetLastHost() {
    g_last = {};
}

std::string GetData(std::string& url, ControlHost& host, const std::string& cookie,
                    std::string* error) {
    if (error) error->clear();
    Control control(host);
    Request request(host, control);
    UrlParts parts;
    int32_t redirects = 0;
    int32_t retries = 0;
    for (;;) {
        if (!SplitURL(url, parts, g_last)) {
            HttpTrace("HTTP: The specified address is invalid", 1);
            return {};
        }
        PassResult result = request.pass(parts, cookie);
        switch (result.kind) {
            case PassResult::Body:
                return std::move(result.text);
            case PassResult::Failed:
                if (error) *error = control.error();
                return {};
            case PassResult::Redirect:
                if (redirects == g_limits.max_redirects) {
                    HttpTrace("HTTP: Too many redirects (" + std::to_string(redirects) + ")", 1);
                    return {};
                }
                ++redirects;
                url = result.text;
                break;
            case PassResult::Busy:
                if (retries == g_limits.max_busy_retries) {
                    HttpTrace("HTTP: Unhandled return code (429)", 1);
                    return {};
                }
                ++retries;
                int32_t pause = busyPause(result.head, retries);
                HttpTrace(
                    "HTTP: Server busy (429), retrying in " + std::to_string(pause) + " ms...", 1);
                waitPumping(host, pause);
                break;
        }
    }
}

std::string URLEncode(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (unsigned char c : text) {
        if (c == ' ') {
            out += '+';
        } else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace modHTTP

}  // namespace vantel
