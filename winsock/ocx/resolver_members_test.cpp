// The name and address members called by name through IDispatch, over the real libws2_32.so:
// what Resolve writes into each kind of caller VARIANT, how it reports, and the ranges and
// caches of the port, alias and adapter members.

#include <gtest/gtest.h>

#include <cstring>

#include "winsock/ocx/socket/test_peer.h"
#include "winsock/ocx/wirran_test_support.h"

using namespace wirran_test;

namespace {

struct Outcome {
    HRESULT hr;
    Variant result;
};

Outcome resolve(IDispatch* control, const char* name, Variant address) {
    Outcome out;
    std::vector<Variant> args{Variant::fromUtf8(name), address};
    out.hr = dispCall(control, "Resolve", args, &out.result, nullptr);
    return out;
}

std::string hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

}  // namespace

TEST(WirranResolve, TheAddressTakesTheFormOfTheCallersVariant) {
    ComPtr<CWirran> control = newControl();
    // A by-reference 32-bit integer gets the raw address, in network order.
    LONG raw = 0;
    Outcome out = resolve(control.get(), "127.0.0.1", Variant::byRef(VT_I4, &raw));
    EXPECT_EQ(out.hr, S_OK);
    EXPECT_EQ(shown(out.result), "I4:0");
    const unsigned char loopback[4] = {127, 0, 0, 1};
    EXPECT_EQ(std::memcmp(&raw, loopback, 4), 0);

    // A by-reference string gets the dotted text, the old string freed.
    BSTR text = bstrFromUtf8("old");
    out = resolve(control.get(), "localhost", Variant::byRef(VT_BSTR, &text));
    EXPECT_EQ(out.hr, S_OK);
    EXPECT_EQ(bstrToUtf8(text), "127.0.0.1");
    SysFreeString(text);

    // Any other by-reference type is a mismatch, reported as nothing else.
    SHORT small = 0;
    out = resolve(control.get(), "localhost", Variant::byRef(VT_I2, &small));
    EXPECT_EQ(out.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(property(control.get(), "LastError"), "I4:0");

    // A script variable (a VARIANT by reference) becomes a string.
    Variant variable(int32_t{5});
    out = resolve(control.get(), "localhost", Variant::byRef(&variable));
    EXPECT_EQ(out.hr, S_OK);
    EXPECT_EQ(shown(variable), "BSTR:127.0.0.1");
    // Resolve reads and changes none of the host properties.
    EXPECT_EQ(property(control.get(), "HostName"), "BSTR:");
    EXPECT_EQ(property(control.get(), "HostAddress"), "BSTR:");
}

TEST(WirranResolve, AFailureReportsWithoutOnError) {
    ComPtr<CWirran> control = newControl();
    EventLog events(control.get());
    Variant variable;
    Outcome out = resolve(control.get(), "no-such-host.invalid", Variant::byRef(&variable));
    EXPECT_EQ(out.hr, S_OK);
    EXPECT_EQ(shown(out.result), "I4:11001");
    EXPECT_EQ(property(control.get(), "LastError"), "I4:11001");
    EXPECT_EQ(shown(variable), "EMPTY") << "nothing written on failure";

    ASSERT_EQ(put(control.get(), "ThrowError", Variant(true)), S_OK);
    out = resolve(control.get(), "", Variant::byRef(&variable));
    EXPECT_EQ(hex(out.hr), "0x800A2AF9");
    EXPECT_TRUE(events.take().empty());
}

TEST(WirranPorts, RangesAndTheSocketRule) {
    ComPtr<CWirran> control = newControl();
    for (const char* name : {"LocalPort", "RemotePort"}) {
        EXPECT_EQ(hex(put(control.get(), name, Variant(int32_t{0}))), "0x800A017C") << name;
        EXPECT_EQ(hex(put(control.get(), name, Variant(int32_t{65536}))), "0x800A017C") << name;
        EXPECT_EQ(put(control.get(), name, Variant(int32_t{65535})), S_OK) << name;
        EXPECT_EQ(property(control.get(), name), "I4:65535");
    }
    // Services by name and number; a refused value leaves the port as it was.
    EXPECT_EQ(put(control.get(), "LocalService", Variant(u"ssh")), S_OK);
    EXPECT_EQ(property(control.get(), "LocalPort"), "I4:22");
    EXPECT_EQ(property(control.get(), "LocalService"), "BSTR:ssh");
    EXPECT_EQ(hex(put(control.get(), "LocalService", Variant(u"0"))), "0x800A2EE6");
    EXPECT_EQ(property(control.get(), "LocalPort"), "I4:22");
    // A port the database has no name for reads an empty service, without failing.
    EXPECT_EQ(put(control.get(), "RemotePort", Variant(int32_t{65533})), S_OK);
    EXPECT_EQ(property(control.get(), "RemoteService"), "BSTR:");

    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    Variant error;
    std::vector<Variant> args{Variant(u"127.0.0.1"), Variant(int32_t{server.port()})};
    ASSERT_EQ(dispCall(control.get(), "Connect", args, &error, nullptr), S_OK);
    ASSERT_EQ(shown(error), "I4:0");
    // Connected: the socket's ports, and no change allowed.
    EXPECT_NE(property(control.get(), "LocalPort"), "I4:22");
    EXPECT_EQ(property(control.get(), "PeerPort"), "I4:" + std::to_string(server.port()));
    EXPECT_EQ(hex(put(control.get(), "LocalPort", Variant(int32_t{1}))), "0x800A017F");
    EXPECT_EQ(hex(put(control.get(), "RemoteService", Variant(u"http"))), "0x800A017F");
    EXPECT_EQ(hex(put(control.get(), "LocalAddress", Variant(u"127.0.0.1"))), "0x800A017F");
    EXPECT_EQ(property(control.get(), "PeerName"), "BSTR:") << "AutoResolve is off";
}

TEST(WirranHosts, AliasesAndAdaptersAreCachesThatResetEmpties) {
    ComPtr<CWirran> control = newControl();
    EXPECT_EQ(property(control.get(), "HostAlias", {Variant(int32_t{0})}), "HR:0x80070057")
        << "no host to list";
    ASSERT_EQ(put(control.get(), "HostName", Variant(u"localhost")), S_OK);
    EXPECT_EQ(property(control.get(), "HostAlias", {Variant(int32_t{-1})}), "HR:0x80070057");
    EXPECT_EQ(property(control.get(), "HostAlias", {Variant(int32_t{0})}), "BSTR:localhost");
    EXPECT_EQ(property(control.get(), "HostAlias", {Variant(int32_t{1000})}), "HR:0x80070057");
    ASSERT_EQ(put(control.get(), "HostName", Variant(u"no-such-host.invalid")), S_OK);
    EXPECT_EQ(property(control.get(), "HostAlias", {Variant(int32_t{0})}), "HR:0x800A2AF9")
        << "the list of the new name, which resolves nowhere";

    std::string count = property(control.get(), "AdapterCount");
    ASSERT_EQ(count.rfind("I4:", 0), 0u) << count;
    EXPECT_GE(std::stoi(count.substr(3)), 1);
    EXPECT_EQ(property(control.get(), "AdapterAddress", {Variant(int32_t{64})}), "HR:0x80070057");
    std::vector<Variant> none;
    ASSERT_EQ(dispCall(control.get(), "Reset", none, nullptr, nullptr), S_OK);
    EXPECT_EQ(property(control.get(), "HostName"), "BSTR:");
    EXPECT_EQ(property(control.get(), "HostAlias", {Variant(int32_t{0})}), "HR:0x80070057");
    // The cache is filled again on first use.
    EXPECT_EQ(property(control.get(), "AdapterAddress", {Variant(int32_t{0})}).rfind("BSTR:", 0),
              0u);
}
