// libkvtrace6.so loaded as the control loads it, driven through its entry points and hooks.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tools/testsupport/scoped_env.h"
#include "tools/testsupport/temp_dir.h"
#include "winsock/trace/kvtrace6.h"

namespace {

struct TraceApi {
#define KVTRACE_TEST_ENTRY(name, type) LPFN_##type name = nullptr;
    KVTRACE_ENTRIES(KVTRACE_TEST_ENTRY)
#undef KVTRACE_TEST_ENTRY
    TraceHook<LPFN_CONNECT> TX_connect = nullptr;
    TraceHook<LPFN_SEND> TX_send = nullptr;
    TraceHook<LPFN_GETHOSTBYNAME> TX_gethostbyname = nullptr;
    TraceHook<LPFN_WSAASYNCSELECT> TX_WSAAsyncSelect = nullptr;
};

const TraceApi& trace() {
    static const TraceApi api = [] {
        TraceApi a;
        void* lib = dlopen(KVTRACE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!lib) {
            ADD_FAILURE() << dlerror();
            return a;
        }
#define KVTRACE_TEST_BIND(name, type) a.name = reinterpret_cast<LPFN_##type>(dlsym(lib, #name));
        KVTRACE_ENTRIES(KVTRACE_TEST_BIND)
#undef KVTRACE_TEST_BIND
        a.TX_connect = reinterpret_cast<TraceHook<LPFN_CONNECT>>(dlsym(lib, "TX_connect"));
        a.TX_send = reinterpret_cast<TraceHook<LPFN_SEND>>(dlsym(lib, "TX_send"));
        a.TX_gethostbyname =
            reinterpret_cast<TraceHook<LPFN_GETHOSTBYNAME>>(dlsym(lib, "TX_gethostbyname"));
        a.TX_WSAAsyncSelect =
            reinterpret_cast<TraceHook<LPFN_WSAASYNCSELECT>>(dlsym(lib, "TX_WSAAsyncSelect"));
        return a;
    }();
    return api;
}

// A stand-in for the network library's last error, so the hooks' error handling can be seen.
thread_local int t_networkError = 0;
int getNetworkError() {
    return t_networkError;
}
void setNetworkError(int error) {
    t_networkError = error;
}

sockaddr_in loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    auto* bytes = reinterpret_cast<unsigned char*>(&address.sin_port);
    bytes[0] = static_cast<unsigned char>(port >> 8);
    bytes[1] = static_cast<unsigned char>(port & 0xFF);
    address.sin_addr.S_un.S_un_b = {127, 0, 0, 1};
    return address;
}

size_t lineCount(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

class TraceLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.ok());
        ASSERT_NE(api.WSXEnableTrace, nullptr);
        api.WSXSetupTrace(getNetworkError, setNetworkError);
        log = dir.file("trace.log");
    }
    // Every test leaves tracing off, whatever it enabled.
    void TearDown() override {
        while (api.WSXGetTraceUsage() > 0)
            api.WSXDisableTrace();
        api.WSXSetTraceFile(nullptr);
        api.WSXSetTraceFlags(0);
    }
    std::string contents() { return readFile(log).value_or(""); }

    const TraceApi& api = trace();
    TempDir dir;
    std::string log;
};

}  // namespace

TEST_F(TraceLibrary, EnableCountsUsersAndTheLastDisableStopsTheLines) {
    sockaddr_in peer = loopback(8080);
    const auto* address = reinterpret_cast<const sockaddr*>(&peer);
    api.TX_connect(0, 5, address, sizeof peer);  // off: nothing written, no file made
    EXPECT_FALSE(readFile(log).has_value());

    ASSERT_TRUE(api.WSXEnableTrace(log.c_str(), kvtrace::kTraceInfo));
    ASSERT_TRUE(api.WSXEnableTrace(nullptr, kvtrace::kTraceInfo));  // keeps the file in use
    EXPECT_EQ(api.WSXGetTraceUsage(), 2);
    api.TX_connect(0, 5, address, sizeof peer);
    EXPECT_TRUE(api.WSXDisableTrace());
    api.TX_connect(0, 6, address, sizeof peer);  // one user is left
    EXPECT_TRUE(api.WSXDisableTrace());
    api.TX_connect(0, 7, address, sizeof peer);
    EXPECT_FALSE(api.WSXDisableTrace());
    EXPECT_EQ(api.WSXGetTraceUsage(), 0);

    std::string text = contents();
    EXPECT_EQ(lineCount(text), 2u) << text;
    EXPECT_NE(text.find("] connect(s=5, addr=127.0.0.1:8080, len=16) = 0\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("connect(s=6,"), std::string::npos);
    EXPECT_EQ(text.find("connect(s=7,"), std::string::npos);
}

TEST_F(TraceLibrary, AFailedCallNamesItsErrorAndLeavesItForTheCaller) {
    ASSERT_TRUE(api.WSXEnableTrace(log.c_str(), kvtrace::kTraceInfo));
    sockaddr_in peer = loopback(1);
    setNetworkError(10061);
    api.TX_connect(SOCKET_ERROR, 9, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    EXPECT_EQ(getNetworkError(), 10061);
    setNetworkError(11001);
    api.TX_gethostbyname(nullptr, "no.such.host");
    EXPECT_NE(contents().find("connect(s=9, addr=127.0.0.1:1, len=16) = -1 error 10061 "
                              "WSAECONNREFUSED\n"),
              std::string::npos)
        << contents();
    EXPECT_NE(contents().find("gethostbyname(name=\"no.such.host\") = NULL error 11001 "
                              "WSAHOST_NOT_FOUND\n"),
              std::string::npos)
        << contents();
}

TEST_F(TraceLibrary, NotificationsShowTheirWindowMessageAndEvents) {
    ASSERT_TRUE(api.WSXEnableTrace(log.c_str(), kvtrace::kTraceInfo));
    api.TX_WSAAsyncSelect(0, 5, reinterpret_cast<HWND>(0x2a), 2025, FD_READ | FD_CLOSE);
    EXPECT_NE(contents().find("] WSAAsyncSelect(s=5, hwnd=0x2a, msg=2025, events=FD_READ|FD_CLOSE)"
                              " = 0\n"),
              std::string::npos)
        << contents();
}

TEST_F(TraceLibrary, FlagsChooseTheLinesAndTheDumps) {
    const char data[] = "Hello";
    struct Case {
        DWORD flags;
        bool successWritten, errorWritten, warningWritten, dumpWritten;
    } cases[] = {
        {kvtrace::kTraceInfo, true, true, true, false},
        {kvtrace::kTraceError, false, true, false, false},
        {kvtrace::kTraceWarning, false, false, true, false},
        {kvtrace::kTraceError | kvtrace::kTraceWarning, false, true, true, false},
        {kvtrace::kTraceHexDump, true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        std::string file = dir.file("flags" + std::to_string(c.flags) + ".log");
        ASSERT_TRUE(api.WSXEnableTrace(file.c_str(), c.flags));
        EXPECT_EQ(api.WSAGetTraceFlags(), c.flags);
        api.TX_send(5, 3, data, 5, 0);
        setNetworkError(10054);
        api.TX_send(SOCKET_ERROR, 4, data, 5, 0);
        setNetworkError(10035);
        api.TX_send(SOCKET_ERROR, 6, data, 5, 0);
        api.WSXDisableTrace();
        std::string text = readFile(file).value_or("");
        EXPECT_EQ(text.find("send(s=3, len=5, flags=0x0) = 5\n") != std::string::npos,
                  c.successWritten)
            << text;
        EXPECT_EQ(text.find("s=4") != std::string::npos, c.errorWritten) << text;
        EXPECT_EQ(text.find("s=6") != std::string::npos, c.warningWritten) << text;
        EXPECT_EQ(text.find("    0000  48 65 6c 6c 6f ") != std::string::npos, c.dumpWritten)
            << text;
        // A failed send dumps nothing: no data went out.
        EXPECT_LE(std::count(text.begin(), text.end(), 'H'), 1);
    }
}

TEST_F(TraceLibrary, CallersLinesAndBlocks) {
    ASSERT_TRUE(api.WSXEnableTrace(log.c_str(), kvtrace::kTraceHexDump));
    EXPECT_TRUE(api.WSXTraceWrite(kvtrace::kTraceInfo, "plain text", -1));
    EXPECT_TRUE(api.WSXTraceWrite(kvtrace::kTraceError, "bad\nthing", 9));
    EXPECT_TRUE(api.WSXTraceWrite(kvtrace::kTraceHexDump, "AB", 2));
    EXPECT_FALSE(api.WSXTraceWrite(kvtrace::kTraceHexDump, "AB", 0));
    api.WSXSetTraceFlags(kvtrace::kTraceError);  // no dumps, errors only
    EXPECT_FALSE(api.WSXTraceWrite(kvtrace::kTraceHexDump, "CD", 2));
    EXPECT_FALSE(api.WSXTraceWrite(kvtrace::kTraceInfo, "skipped", -1));
    EXPECT_TRUE(api.WSXTraceWrite(kvtrace::kTraceWarning | kvtrace::kTraceError, "kept", -1));
    std::string text = contents();
    EXPECT_NE(text.find("] plain text\n"), std::string::npos) << text;
    EXPECT_NE(text.find("] error: bad thing\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    0000  41 42 "), std::string::npos) << text;
    EXPECT_EQ(text.find("43 44"), std::string::npos) << text;
    EXPECT_EQ(text.find("skipped"), std::string::npos) << text;
    EXPECT_NE(text.find("] error: kept\n"), std::string::npos) << text;
    api.WSXDisableTrace();
    EXPECT_FALSE(api.WSXTraceWrite(kvtrace::kTraceInfo, "after", -1));
}

TEST_F(TraceLibrary, TraceFileNamesAndFailures) {
    // A file that cannot be opened leaves tracing off and counts no user.
    std::string unopenable = dir.file("missing-folder/trace.log");
    EXPECT_FALSE(api.WSXEnableTrace(unopenable.c_str(), 0));
    EXPECT_EQ(api.WSXGetTraceUsage(), 0);

    ASSERT_TRUE(api.WSXEnableTrace(log.c_str(), 0));
    char buffer[512];
    EXPECT_EQ(api.WSXGetTraceFile(buffer, sizeof buffer), static_cast<int>(log.size()));
    EXPECT_EQ(std::string(buffer), log);
    char small[5];
    EXPECT_EQ(api.WSXGetTraceFile(small, sizeof small), static_cast<int>(log.size()));
    EXPECT_EQ(std::string(small), log.substr(0, 4));
    EXPECT_EQ(api.WSXGetTraceFile(nullptr, 0), static_cast<int>(log.size()));

    // Switching to a file that cannot be opened keeps the old one in use.
    EXPECT_FALSE(api.WSXSetTraceFile(unopenable.c_str()));
    std::string second = dir.file("second.log");
    EXPECT_TRUE(api.WSXSetTraceFile(second.c_str()));
    EXPECT_TRUE(api.WSXTraceWrite(0, "to the second file", -1));
    EXPECT_EQ(readFile(second).value_or("").find("to the second file") != std::string::npos, true);
    EXPECT_EQ(contents().find("to the second file"), std::string::npos);
}

TEST_F(TraceLibrary, DefaultFileLivesUnderTheStateFolder) {
    ScopedEnv env;
    env.set("XDG_STATE_HOME", dir.path() + "/state");
    char buffer[512];
    api.WSXGetTraceFile(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), dir.path() + "/state/kvlink6/kvtrace6.log");
    ASSERT_TRUE(api.WSXEnableTrace("", 0));
    EXPECT_TRUE(api.WSXTraceWrite(0, "default", -1));
    api.WSXDisableTrace();
    EXPECT_NE(readFile(dir.path() + "/state/kvlink6/kvtrace6.log").value_or("").find("default"),
              std::string::npos);

    // Without a usable home the file is the current folder's.
    env.unset("XDG_STATE_HOME");
    env.set("HOME", "relative");
    api.WSXGetTraceFile(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), "kvtrace6.log");
}
