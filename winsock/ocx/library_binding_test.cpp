// The library and trace members over the real libws2_32.so and libkvtrace6.so, called by name
// through IDispatch as a host calls them.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "tools/testsupport/temp_dir.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/binding/test_loopback.h"
#include "winsock/ocx/wirran_test_support.h"

using namespace wirran_test;

namespace {

std::string realPath(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::canonical(path, ignored).string();
}

// Initialize by name, with ModuleName when given; returns the Error result shown.
std::string initialize(IDispatch* control, Variant module = Variant::missing()) {
    std::vector<Variant> args{Variant::missing(), module};
    Variant error;
    HRESULT hr = dispCall(control, "Initialize", args, &error);
    return hr == S_OK ? shown(error) : "HR:" + std::to_string(hr);
}

void call(IDispatch* control, const char* method) {
    Variant none;
    ASSERT_EQ(dispCall(control, method, {}, &none), S_OK) << method;
}

// A connect and a send on 127.0.0.1 through the binding the control started, as the socket
// layer makes them.
void connectAndSend(const char* data) {
    LoopbackConnection link(kvlink::networkLibrary());
    ASSERT_TRUE(link.open());
    int size = static_cast<int>(std::strlen(data));
    EXPECT_EQ(kvlink::networkLibrary().send(link.client, data, size, 0), size);
}

}  // namespace

TEST(WirranLibrary, InitializeStartsTheDefaultOrTheNamedLibrary) {
    const std::string library = realPath(WS2_LIBRARY_PATH);
    for (const Variant& module :
         {Variant::missing(), Variant(u""), Variant(u"WS2_32.DLL"), Variant::fromUtf8(library)}) {
        SCOPED_TRACE(shown(module));
        ComPtr<CWirran> control = newControl();
        IDispatch* c = control.get();
        int users = kvlink::networkLibrary().users();
        ASSERT_EQ(initialize(c, module), "I4:0");
        EXPECT_EQ(kvlink::networkLibrary().users(), users + 1);
        EXPECT_EQ(property(c, "Library"), "BSTR:" + library);
        EXPECT_EQ(property(c, "WinsockVendor"), "BSTR:WinSock 2.0");
        EXPECT_EQ(property(c, "WinsockVersion"), "BSTR:2.2");
        EXPECT_EQ(property(c, "MaxSockets"), "I4:32767");
        EXPECT_EQ(property(c, "MaxDatagram"), "I4:65507");

        call(c, "Uninitialize");
        EXPECT_EQ(kvlink::networkLibrary().users(), users);
        EXPECT_EQ(property(c, "Library"), "BSTR:");
        EXPECT_EQ(property(c, "MaxSockets"), "I4:0");
    }
}

TEST(WirranLibrary, DestructionReleasesTheLibrary) {
    int users = kvlink::networkLibrary().users();
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(initialize(control.get()), "I4:0");
    EXPECT_EQ(kvlink::networkLibrary().users(), users + 1);
    control.reset();
    EXPECT_EQ(kvlink::networkLibrary().users(), users);
}

TEST(WirranTrace, TraceFileAndFlagsFollowTheProperties) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string first = dir.file("first.log");
    const std::string second = dir.file("second.log");
    kvlink::NetworkLibrary& net = kvlink::networkLibrary();
    ComPtr<CWirran> control = newControl();
    IDispatch* c = control.get();

    // Before the start the values are only kept.
    ASSERT_EQ(put(c, "TraceFile", Variant::fromUtf8(first)), S_OK);
    ASSERT_EQ(put(c, "TraceFlags", Variant(int32_t{wrTraceInfo})), S_OK);
    ASSERT_EQ(put(c, "Trace", Variant(true)), S_OK);
    EXPECT_EQ(property(c, "Trace"), "BOOL:-1");
    EXPECT_EQ(net.traceUsers(), 0);

    // The start opens the trace; the network calls are written to the file.
    ASSERT_EQ(initialize(c), "I4:0");
    EXPECT_EQ(property(c, "Trace"), "BOOL:-1");
    EXPECT_EQ(net.traceUsers(), 1);
    connectAndSend("Hello");
    std::string text = readFile(first).value_or("");
    EXPECT_NE(text.find(", addr=127.0.0.1:"), std::string::npos) << text;
    EXPECT_NE(text.find("] send(s="), std::string::npos) << text;
    EXPECT_NE(text.find(", len=5, flags=0x0) = 5\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("48 65 6c 6c 6f"), std::string::npos) << text;

    // New flags reopen the trace with them: now the data is dumped.
    ASSERT_EQ(put(c, "TraceFlags", Variant(int32_t{wrTraceHexDump})), S_OK);
    EXPECT_EQ(net.traceUsers(), 1);
    connectAndSend("Hello");
    EXPECT_NE(readFile(first).value_or("").find("48 65 6c 6c 6f"), std::string::npos);

    // A new file takes the lines from then on.
    ASSERT_EQ(put(c, "TraceFile", Variant::fromUtf8(second)), S_OK);
    std::string firstBefore = readFile(first).value_or("");
    connectAndSend("World");
    EXPECT_EQ(readFile(first).value_or(""), firstBefore);
    EXPECT_NE(readFile(second).value_or("").find("57 6f 72 6c 64"), std::string::npos);

    // FALSE closes it; TRUE opens it again; Reset closes it and forgets the file.
    ASSERT_EQ(put(c, "Trace", Variant(false)), S_OK);
    EXPECT_EQ(net.traceUsers(), 0);
    std::string secondBefore = readFile(second).value_or("");
    connectAndSend("quiet");
    EXPECT_EQ(readFile(second).value_or(""), secondBefore);
    ASSERT_EQ(put(c, "Trace", Variant(true)), S_OK);
    EXPECT_EQ(net.traceUsers(), 1);
    call(c, "Reset");
    EXPECT_EQ(net.traceUsers(), 0);
    EXPECT_EQ(property(c, "Trace"), "BOOL:0");
    EXPECT_EQ(property(c, "TraceFile"), "BSTR:");
    call(c, "Uninitialize");
}
