// The library members in a process that has loaded no network library yet: a module name that
// cannot be loaded, then the default one, with the trace library missing.

#include <gtest/gtest.h>

#include "tools/testsupport/temp_dir.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/binding/test_loopback.h"
#include "winsock/ocx/wirran_test_support.h"

using namespace wirran_test;

TEST(WirranLibraryFresh, AModuleThatCannotBeLoadedAndAMissingTraceLibrary) {
    kvlink::NetworkLibrary& net = kvlink::networkLibrary();
    ASSERT_FALSE(net.loaded()) << "this test needs a process of its own";
    net.setTraceModule("kvtrace-absent.DLL");
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    ComPtr<CWirran> control = newControl();
    IDispatch* c = control.get();
    EventLog events(control.get());

    std::vector<Variant> args{Variant::missing(), Variant(u"no-such-network.dll")};
    Variant error;
    ASSERT_EQ(dispCall(c, "Initialize", args, &error), S_OK);
    EXPECT_EQ(shown(error), "I4:10091");
    EXPECT_EQ(property(c, "LastError"), "I4:10091");
    EXPECT_EQ(property(c, "LastErrorString"),
              "BSTR:The networking subsystem is not available on this system");
    EXPECT_TRUE(events.take().empty());
    EXPECT_EQ(property(c, "MaxSockets"), "I4:0");
    EXPECT_FALSE(net.loaded());

    // The default library still starts; the trace it asks for cannot be had.
    ASSERT_EQ(put(c, "TraceFile", Variant::fromUtf8(dir.file("trace.log"))), S_OK);
    ASSERT_EQ(put(c, "Trace", Variant(true)), S_OK);
    args = {Variant::missing(), Variant::missing()};
    ASSERT_EQ(dispCall(c, "Initialize", args, &error), S_OK);
    EXPECT_EQ(shown(error), "I4:0");
    EXPECT_EQ(property(c, "Trace"), "BOOL:0");
    EXPECT_EQ(put(c, "Trace", Variant(true)), S_OK);
    EXPECT_EQ(property(c, "Trace"), "BOOL:0");
    EXPECT_EQ(net.traceUsers(), 0);
    EXPECT_EQ(property(c, "WinsockVendor"), "BSTR:WinSock 2.0");

    // Everything else works: the network calls go through, and no trace file appears.
    {
        LoopbackConnection link(net);
        ASSERT_TRUE(link.open());
        EXPECT_EQ(net.send(link.client, "Hello", 5, 0), 5);
    }
    ASSERT_EQ(put(c, "TraceFlags", Variant(int32_t{wrTraceHexDump})), S_OK);
    EXPECT_EQ(property(c, "Trace"), "BOOL:0");
    EXPECT_FALSE(readFile(dir.file("trace.log")).has_value());
}
