#pragma once
// For the control's tests: a control object created directly (no registration), calls by
// member name through its IDispatch, an event recorder, and stand-in network libraries.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/com/connpt.h"
#include "platform/com/errorinfo.h"
#include "platform/com/olesite.h"
#include "platform/com/test_objects.h"
#include "platform/registry/registry.h"
#include "winsock/ocx/network_library.h"
#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/wirran.h"

namespace wirran_test {

// Every control reads the registry for its ProgID: the tests read an empty store of their own,
// never the user's (a test that registers sets its own folder on top).
class IsolatedRegistry : public ::testing::Environment {
  public:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "wirran-registry-XXXXXX").string();
        if (mkdtemp(pattern.data())) {
            m_folder = pattern;
            setenv(kRegistryDirVariable, m_folder.c_str(), 1);
        }
    }
    void TearDown() override {
        if (!m_folder.empty()) std::filesystem::remove_all(m_folder);
    }

  private:
    std::string m_folder;
};
inline ::testing::Environment* const g_isolatedRegistry =
    ::testing::AddGlobalTestEnvironment(new IsolatedRegistry);

inline ComPtr<CWirran> newControl() {
    return makeComObject<CWirran>(nullptr);
}

// A value as "I4:5", "BOOL:-1", "BSTR:text" or "EMPTY", so tables can state what they expect.
inline std::string shown(const VARIANT& v) {
    switch (v.vt) {
        case VT_I4:
            return "I4:" + std::to_string(v.lVal);
        case VT_BOOL:
            return "BOOL:" + std::to_string(v.boolVal);
        case VT_BSTR:
            return "BSTR:" + bstrToUtf8(v.bstrVal);
        case VT_EMPTY:
            return "EMPTY";
        default:
            return "VT" + std::to_string(v.vt);
    }
}

// The property's value by name, shown; or "HR:0x800A018A" when the get fails.
inline std::string property(IDispatch* control, const char* name, std::vector<Variant> args = {}) {
    DISPID id;
    if (FAILED(dispGetId(control, name, &id))) return "unknown member";
    Variant value;
    HRESULT hr = dispInvoke(control, id, DISPATCH_PROPERTYGET, args, &value);
    if (FAILED(hr)) {
        char text[32];
        std::snprintf(text, sizeof text, "HR:0x%08X", static_cast<unsigned>(hr));
        return text;
    }
    return shown(value);
}

inline HRESULT put(IDispatch* control, const char* name, const Variant& value) {
    return dispPutProperty(control, name, value);
}

// Records the control's events in order, as "OnError(10057, text)"-like strings.
class EventLog {
  public:
    explicit EventLog(CWirran* control) : EventLog(control->controllingUnknown()) {}
    explicit EventLog(IUnknown* control) : m_sink(DIID__IWirranEvents) {
        EXPECT_EQ(adviseSink(control, DIID__IWirranEvents, &m_sink, &m_cookie), S_OK);
        m_control = control;
    }
    ~EventLog() { unadviseSink(m_control, DIID__IWirranEvents, m_cookie); }

    std::vector<std::string> take() {
        std::vector<std::string> out;
        for (const auto& call : m_sink.calls) {
            std::string line = "#" + std::to_string(call.id) + "(";
            for (size_t i = 0; i < call.args.size(); ++i)
                line += (i ? ", " : "") + shown(call.args[i]);
            out.push_back(line + ")");
        }
        m_sink.calls.clear();
        return out;
    }
    CountingSink& sink() { return m_sink; }

  private:
    CountingSink m_sink;
    IUnknown* m_control = nullptr;
    DWORD m_cookie = 0;
};

// The thread's error object's source and description ("" when there is none); empties the slot.
inline std::pair<std::string, std::string> takeErrorInfo() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK) return {};
    Bstr source, description;
    info->GetSource(source.put());
    info->GetDescription(description.put());
    return {source.utf8(), description.utf8()};
}

// A stand-in network library that counts its calls; installed for the life of the object.
struct FakeLibrary {
    static inline int starts = 0;
    static inline int stops = 0;
    static inline int traceEnables = 0;
    static inline int traceDisables = 0;
    static inline bool traceWorks = true;
    static inline std::string lastModule;
    static inline std::string lastTraceFile;
    static inline int32_t lastTraceFlags = 0;

    static bool start(const std::string& module, NetworkLibraryInfo* info) {
        ++starts;
        lastModule = module;
        info->path = "/usr/lib/vantel/libws2_32.so";
        info->description = "Wirran Windows Sockets Library";
        info->highVersionMajor = 2;
        info->highVersionMinor = 2;
        info->maxSockets = 1024;
        info->maxDatagram = 65467;
        return true;
    }
    static void stop() { ++stops; }
    static bool enableTrace(const std::string& file, int32_t flags) {
        ++traceEnables;
        lastTraceFile = file;
        lastTraceFlags = flags;
        return traceWorks;
    }
    static void disableTrace() { ++traceDisables; }

    FakeLibrary() {
        starts = stops = traceEnables = traceDisables = 0;
        traceWorks = true;
        setNetworkLibrary(&kFunctions);
    }
    ~FakeLibrary() { setNetworkLibrary(nullptr); }

    static constexpr NetworkLibrary kFunctions{start, stop, enableTrace, disableTrace};
};

// A stand-in network library that cannot be started, as on a system without one: every start
// fails with wrErrorNetworkNotReady (10091); installed for the life of the object.
struct UnavailableLibrary {
    static bool start(const std::string&, NetworkLibraryInfo*) {
        SetSocketError(10091);
        return false;
    }
    static void stop() {}
    static bool enableTrace(const std::string&, int32_t) { return false; }
    static void disableTrace() {}

    UnavailableLibrary() { setNetworkLibrary(&kFunctions); }
    ~UnavailableLibrary() { setNetworkLibrary(nullptr); }

    static constexpr NetworkLibrary kFunctions{start, stop, enableTrace, disableTrace};
};

}  // namespace wirran_test
