// The control's state: the values at creation, what Reset restores and keeps, the design-mode
// rule for getters, and the member table behind IDispatch.

#include <gtest/gtest.h>

#include <set>

#include "winsock/ocx/wirran_test_support.h"

using namespace wirran_test;

namespace {

struct Expected {
    const char* name;
    const char* value;
};

// Every property a control without a site and without the network library can read.
const Expected kDefaults[] = {
    {"Enabled", "BOOL:-1"},
    {"Window", "I4:0"},
    {"AtMark", "BOOL:0"},
    {"AutoResolve", "BOOL:0"},
    {"Backlog", "I4:5"},
    {"Blocking", "BOOL:-1"},
    {"Broadcast", "BOOL:0"},
    {"ByteOrder", "I4:0"},
    {"CertificateExpires", "BSTR:"},
    {"CertificateIssued", "BSTR:"},
    {"CertificateIssuer", "BSTR:"},
    {"CertificateName", "BSTR:"},
    {"CertificateStatus", "I4:0"},
    {"CertificateStore", "BSTR:"},
    {"CertificateSubject", "BSTR:"},
    {"CipherStrength", "I4:0"},
    {"Connected", "BOOL:0"},
    {"Handle", "I4:-1"},
    {"HashStrength", "I4:0"},
    {"HostAddress", "BSTR:"},
    {"HostFile", "BSTR:"},
    {"HostName", "BSTR:"},
    {"InLine", "BOOL:0"},
    {"Interval", "I4:0"},
    {"IsBlocked", "BOOL:0"},
    {"IsClosed", "BOOL:0"},
    {"IsReadable", "BOOL:0"},
    {"IsWritable", "BOOL:0"},
    {"KeepAlive", "BOOL:0"},
    {"LastError", "I4:0"},
    {"LastErrorString", "BSTR:Undefined control error (0x00000000)"},
    {"Library", "BSTR:"},
    {"Linger", "I4:0"},
    {"Listening", "BOOL:0"},
    {"MaxDatagram", "I4:0"},
    {"MaxSockets", "I4:0"},
    {"NoDelay", "BOOL:0"},
    {"PeerAddress", "BSTR:"},
    {"PeerName", "BSTR:"},
    {"PeerPort", "I4:0"},
    {"PortString", "BSTR:"},
    {"Protocol", "I4:6"},
    {"RemotePort", "I4:0"},
    {"ReservedPort", "BOOL:0"},
    {"ReuseAddress", "BOOL:-1"},
    {"Route", "BOOL:-1"},
    {"Secure", "BOOL:0"},
    {"SecureCipher", "I4:0"},
    {"SecureHash", "I4:0"},
    {"SecureKeyExchange", "I4:0"},
    {"SecureProtocol", "I4:0"},
    {"State", "I4:0"},
    {"ThrowError", "BOOL:0"},
    {"Timeout", "I4:0"},
    {"Trace", "BOOL:0"},
    {"TraceFile", "BSTR:"},
    {"TraceFlags", "I4:0"},
    {"Urgent", "BOOL:0"},
    {"Version", "BSTR:6.0.6000.0"},
    {"WinsockVendor", "BSTR:"},
    {"WinsockVersion", "BSTR:"},
};

void expectDefaults(IDispatch* control, const std::set<std::string>& except = {}) {
    for (const Expected& e : kDefaults) {
        if (except.count(e.name)) continue;
        EXPECT_EQ(property(control, e.name), e.value) << e.name;
    }
}

}  // namespace

TEST(WirranState, EveryPropertyStartsAtItsDefault) {
    ComPtr<CWirran> control = newControl();
    expectDefaults(control.get());
}

TEST(WirranState, ResetRestoresTheResetValuesAndKeepsTheRest) {
    ComPtr<CWirran> control = newControl();
    IDispatch* c = control.get();
    struct Change {
        const char* name;
        Variant value;
        const char* readBack;
    };
    const Change changes[] = {
        {"AutoResolve", Variant(true), "BOOL:-1"},
        {"Backlog", Variant(int32_t{9}), "I4:9"},
        {"Blocking", Variant(false), "BOOL:0"},
        {"Broadcast", Variant(true), "BOOL:-1"},
        {"ByteOrder", Variant(int32_t{wrNetworkByteOrder}), "I4:1"},
        {"InLine", Variant(true), "BOOL:-1"},
        {"KeepAlive", Variant(true), "BOOL:-1"},
        {"LastError", Variant(int32_t{10060}), "I4:10060"},
        {"Library", Variant(u"ws2.so"), "BSTR:ws2.so"},
        {"Linger", Variant(int32_t{65535}), "I4:65535"},
        {"LocalPort", Variant(int32_t{8080}), nullptr},  // its get starts the library
        {"NoDelay", Variant(true), "BOOL:-1"},
        {"Protocol", Variant(int32_t{wrProtocolUdp}), "I4:17"},
        {"RemotePort", Variant(int32_t{80}), "I4:80"},
        {"ReservedPort", Variant(true), "BOOL:-1"},
        {"ReuseAddress", Variant(false), "BOOL:0"},
        {"Route", Variant(false), "BOOL:0"},
        {"SecureProtocol", Variant(int32_t{wrSecureProtocolTLS1}), "I4:8"},
        {"ThrowError", Variant(true), "BOOL:-1"},
        {"Timeout", Variant(int32_t{4}), "I4:4"},
        {"Trace", Variant(true), "BOOL:-1"},
        {"TraceFile", Variant(u"/tmp/trace.log"), "BSTR:/tmp/trace.log"},
        {"TraceFlags", Variant(int32_t{wrTraceHexDump}), "I4:4"},
        {"Urgent", Variant(true), "BOOL:-1"},
        // Kept by Reset:
        {"CertificateName", Variant(u"Vantel Client"), "BSTR:Vantel Client"},
        {"CertificateStore", Variant(u"/etc/ssl/client.p12"), "BSTR:/etc/ssl/client.p12"},
        {"Enabled", Variant(false), "BOOL:0"},
    };
    for (const Change& change : changes) {
        ASSERT_EQ(put(c, change.name, change.value), S_OK) << change.name;
        if (change.readBack) {
            EXPECT_EQ(property(c, change.name), change.readBack) << change.name;
        }
    }
    // SecureProtocol switches Secure on with it.
    EXPECT_EQ(property(c, "Secure"), "BOOL:-1");

    Variant none;
    ASSERT_EQ(dispCall(c, "Reset", {}, &none), S_OK);
    expectDefaults(c, {"CertificateName", "CertificateStore", "Enabled"});
    EXPECT_EQ(property(c, "CertificateName"), "BSTR:Vantel Client");
    EXPECT_EQ(property(c, "CertificateStore"), "BSTR:/etc/ssl/client.p12");
    EXPECT_EQ(property(c, "Enabled"), "BOOL:0");
}

TEST(WirranState, PutChecksOfTheStoredProperties) {
    ComPtr<CWirran> control = newControl();
    struct Case {
        const char* name;
        int32_t value;
        HRESULT expected;
    };
    const Case cases[] = {
        {"Linger", -1, CTL_E_INVALIDPROPERTYVALUE},
        {"Linger", 0, S_OK},
        {"Linger", 65536, CTL_E_INVALIDPROPERTYVALUE},
        {"LocalPort", 0, CTL_E_INVALIDPROPERTYVALUE},
        {"LocalPort", 1, S_OK},
        {"LocalPort", 65536, CTL_E_INVALIDPROPERTYVALUE},
        {"RemotePort", 0, CTL_E_INVALIDPROPERTYVALUE},
        {"RemotePort", 65535, S_OK},
        {"RemotePort", 65536, CTL_E_INVALIDPROPERTYVALUE},
        {"Backlog", -7, S_OK},
        {"Interval", 70000, CTL_E_INVALIDPROPERTYVALUE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(put(control.get(), c.name, Variant(c.value)), c.expected)
            << c.name << " = " << c.value;
    // Refused values leave the stored ones alone and never touch LastError.
    EXPECT_EQ(property(control.get(), "Linger"), "I4:0");
    EXPECT_EQ(property(control.get(), "RemotePort"), "I4:65535");
    EXPECT_EQ(property(control.get(), "LastError"), "I4:0");
    // Any non-zero BOOL reads back as TRUE.
    ASSERT_EQ(control->put_KeepAlive(7), S_OK);
    EXPECT_EQ(property(control.get(), "KeepAlive"), "BOOL:-1");
}

TEST(WirranState, EveryGetterButEnabledAndWindowFailsInDesignMode) {
    ComPtr<CWirran> control = newControl();
    ComPtr<AmbientSite> site = AmbientSite::create();
    site->setUserMode(false);
    ASSERT_EQ(control->SetClientSite(site.get()), S_OK);
    int getters = 0;
    for (const DispMember& m : wirranMembers()) {
        if (m.kind != DISPATCH_PROPERTYGET) continue;
        ++getters;
        std::vector<Variant> args(m.paramCount, Variant(int32_t{0}));
        std::string got = property(control.get(), m.name, std::move(args));
        if (m.dispid == DISPID_ENABLED)
            EXPECT_EQ(got, "BOOL:-1");
        else if (m.dispid == DISPID_HWND)
            EXPECT_NE(got, "I4:0");  // the site made the window
        else
            EXPECT_EQ(got, "HR:0x800A018A") << m.name;
    }
    EXPECT_EQ(getters, 71);
    // The vtable says the same as the dispatcher.
    Bstr version;
    EXPECT_EQ(control->get_Version(version.put()), CTL_E_GETNOTSUPPORTED);
    // A site that cannot answer the ambient means design mode too.
    site->removeAmbient(DISPID_AMBIENT_USERMODE);
    EXPECT_EQ(property(control.get(), "Timeout"), "HR:0x800A018A");
    site->setUserMode(true);
    EXPECT_EQ(property(control.get(), "Timeout"), "I4:0");
    control->SetClientSite(nullptr);
}

TEST(WirranState, MembersThatNeedTheNetworkLibraryFailHonestlyWithoutIt) {
    ComPtr<CWirran> control = newControl();
    IDispatch* c = control.get();
    const char* const gets[] = {"AdapterCount",    "ExternalAddress", "LocalAddress",
                                "LocalName",       "LocalPort",       "LocalService",
                                "PhysicalAddress", "RemoteService"};
    for (const char* name : gets)
        EXPECT_EQ(property(c, name), "HR:0x800A276B") << name;
    EXPECT_EQ(property(c, "AdapterAddress", {Variant(int32_t{0})}), "HR:0x800A276B");
    EXPECT_EQ(property(c, "HostAlias", {Variant(int32_t{0})}), "HR:0x800A276B");
    EXPECT_EQ(put(c, "HostName", Variant(u"example.org")), static_cast<HRESULT>(0x800A276B));
    EXPECT_EQ(put(c, "HostAddress", Variant(u"127.0.0.1")), static_cast<HRESULT>(0x800A276B));
    EXPECT_EQ(put(c, "Interval", Variant(int32_t{100})), static_cast<HRESULT>(0x800A276B));
    EXPECT_EQ(property(c, "LastError"), "I4:10091");
    EXPECT_EQ(property(c, "LastErrorString"),
              "BSTR:The networking subsystem is not available on this system");
    // Nothing was stored on the way.
    EXPECT_EQ(property(c, "HostName"), "BSTR:");
    EXPECT_EQ(property(c, "Interval"), "I4:0");
}

TEST(WirranDispatch, TheMemberTableFollowsTheInterface) {
    std::span<const DispMember> members = wirranMembers();
    ASSERT_EQ(members.size(), 134u);
    EXPECT_STREQ(members.front().name, "About");
    EXPECT_EQ(members.front().dispid, DISPID_ABOUTBOX);
    EXPECT_STREQ(members.back().name, "WriteStream");
    EXPECT_EQ(members.back().dispid, 96);
    std::set<std::pair<std::string, WORD>> seen;
    for (const DispMember& m : members) {
        EXPECT_TRUE(seen.emplace(m.name, m.kind).second) << m.name;
        // A property's get and put share its DISPID.
        for (const DispMember& other : members)
            if (std::string(other.name) == m.name) {
                EXPECT_EQ(other.dispid, m.dispid) << m.name;
            }
    }
    ComPtr<CWirran> control = newControl();
    const std::pair<const char*, DISPID> ids[] = {
        {"lasterror", 32},  {"LASTERRORSTRING", 33},     {"Timeout", 62},        {"Read", 81},
        {"Initialize", 78}, {"Enabled", DISPID_ENABLED}, {"Window", DISPID_HWND}};
    for (auto [name, expected] : ids) {
        DISPID id = 0;
        EXPECT_EQ(dispGetId(control.get(), name, &id), S_OK) << name;
        EXPECT_EQ(id, expected) << name;
    }
}
