// The error model: LastError and its text, ReportError's steps, and how methods, property
// members and Initialize report a failure.

#include <gtest/gtest.h>

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/wirran_test_support.h"

using namespace wirran_test;

namespace {

const char* const kNotConnected = "No connection established with remote host";
const char* const kNoNetwork = "The networking subsystem is not available on this system";

HRESULT hr(uint32_t value) {
    return static_cast<HRESULT>(value);
}

}  // namespace

TEST(WirranLastError, PutStoresTheHresultFormAndReadsTheText) {
    ComPtr<CWirran> control = newControl();
    struct Case {
        int32_t put;
        const char* lastError;
        const char* text;
        uint32_t slot;
    };
    const Case cases[] = {
        {10060, "I4:10060", "BSTR:The specified operation has timed out", 0x8004274C},
        {static_cast<int32_t>(0x8004274C), "I4:10060", "BSTR:The specified operation has timed out",
         0x8004274C},
        {1, "I4:1", "BSTR:Undefined control error (0x80040001)", 0x80040001},
        {10050, "I4:10050", "BSTR:The networking subsytem is unavailable", 0x80042742},
        {static_cast<int32_t>(0x800A274C), "I4:10060", "BSTR:Undefined control error (0x800A274C)",
         0x800A274C},
        {0, "I4:0", "BSTR:Undefined control error (0x00000000)", 0},
    };
    for (const Case& c : cases) {
        SetSocketError(12345);
        ASSERT_EQ(put(control.get(), "LastError", Variant(c.put)), S_OK);
        EXPECT_EQ(property(control.get(), "LastError"), c.lastError) << c.put;
        EXPECT_EQ(property(control.get(), "LastErrorString"), c.text) << c.put;
        // The socket layer's slot follows, so the next "current error" is this one.
        EXPECT_EQ(SocketError(), c.slot) << c.put;
    }
}

TEST(WirranReportError, TakesTheCurrentErrorAndMapsAMissingStreamSocket) {
    ComPtr<CWirran> control = newControl();
    // Code 0: the socket layer's current error, and nothing at all when that is 0 too.
    SetSocketError(0);
    EXPECT_EQ(control->ReportError(0, true, true), S_OK);
    EXPECT_EQ(property(control.get(), "LastError"), "I4:0");
    SetSocketError(10061);
    EXPECT_EQ(control->ReportError(0, true, false), hr(0x800A274D));
    EXPECT_EQ(property(control.get(), "LastError"), "I4:10061");

    // An invalid handle on a TCP control without a socket is "not connected"; not for UDP.
    EXPECT_EQ(control->ReportError(0x80042736, true, false), hr(0x800A2749));
    ASSERT_EQ(control->put_Protocol(wrProtocolUdp), S_OK);
    EXPECT_EQ(control->ReportError(0x80042736, true, false), hr(0x800A2736));

    // Codes of other facilities come back unchanged, with the undefined-error text.
    EXPECT_EQ(control->ReportError(0x80070005, true, false), hr(0x80070005));
    EXPECT_EQ(takeErrorInfo().second, "Undefined control error (0x80070005)");
    EXPECT_EQ(property(control.get(), "LastError"), "I4:5");
}

TEST(WirranReportError, AFailingMethodWithoutThrowErrorReturnsTheCodeAndFiresFirst) {
    ComPtr<CWirran> control = newControl();
    EventLog events(control.get());
    std::vector<std::string> order;
    events.sink().onInvoke = [&] { order.push_back("event"); };

    Variant error;
    HRESULT result = control->Abort(&error);
    order.push_back("returned");
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(shown(error), "I4:10057");
    EXPECT_EQ(events.take(),
              (std::vector<std::string>{"#5(I4:10057, BSTR:" + std::string(kNotConnected) + ")"}));
    EXPECT_EQ(order, (std::vector<std::string>{"event", "returned"}));
    EXPECT_EQ(property(control.get(), "LastError"), "I4:10057");
    EXPECT_EQ(property(control.get(), "LastErrorString"), "BSTR:" + std::string(kNotConnected));

    // A data transfer's result is -1.
    Variant buffer, count;
    std::vector<Variant> none;
    EXPECT_EQ(dispCall(control.get(), "Read", none, &count), DISP_E_BADPARAMCOUNT);
    std::vector<Variant> args{Variant::byRef(&buffer), Variant(int32_t{2048})};
    EXPECT_EQ(dispCall(control.get(), "Read", args, &count), S_OK);
    EXPECT_EQ(shown(count), "I4:-1");
    EXPECT_EQ(events.take().size(), 1u);
}

TEST(WirranReportError, AFailingMethodWithThrowErrorRaisesAComError) {
    ComPtr<CWirran> control = newControl();
    EventLog events(control.get());
    ASSERT_EQ(control->put_ThrowError(VARIANT_TRUE), S_OK);

    Variant error;
    EXPECT_EQ(control->Abort(&error), hr(0x800A2749));
    EXPECT_EQ(shown(error), "I4:10057");  // the retval still holds the bare code
    EXPECT_EQ(takeErrorInfo(),
              std::make_pair(std::string("Kestrine.Wirran.6"), std::string(kNotConnected)));
    EXPECT_EQ(events.take().size(), 1u);  // OnError fires either way

    // An Automation host sees the number and the description.
    std::string description;
    Variant result;
    EXPECT_EQ(dispCall(control.get(), "Flush", {}, &result, &description), hr(0x800A2749));
    EXPECT_EQ(description, kNotConnected);
}

TEST(WirranReportError, PropertySettersFailWhateverThrowErrorSaysAndNeverFire) {
    UnavailableLibrary library;
    for (bool throwError : {false, true}) {
        ComPtr<CWirran> control = newControl();
        EventLog events(control.get());
        ASSERT_EQ(control->put_ThrowError(throwError ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
        Bstr name = Bstr::fromUtf8("example.org");
        EXPECT_EQ(control->put_HostName(name.get()), hr(0x800A276B)) << throwError;
        EXPECT_EQ(takeErrorInfo().second, kNoNetwork);
        EXPECT_TRUE(events.take().empty());
        EXPECT_EQ(property(control.get(), "LastError"), "I4:10091");
        // Standard control errors never touch LastError.
        ASSERT_EQ(control->put_LastError(0), S_OK);
        EXPECT_EQ(control->put_RemotePort(0), CTL_E_INVALIDPROPERTYVALUE);
        EXPECT_EQ(property(control.get(), "LastError"), "I4:0");
    }
}

TEST(WirranReportError, InitializeFailsHonestlyWithoutTheNetworkLibrary) {
    UnavailableLibrary library;
    ComPtr<CWirran> control = newControl();
    EventLog events(control.get());
    Variant error;
    EXPECT_EQ(control->Initialize(Variant::missing(), Variant::missing(), Variant::missing(),
                                  Variant::missing(), &error),
              S_OK);
    EXPECT_EQ(shown(error), "I4:10091");
    EXPECT_TRUE(events.take().empty());  // its own failure does not fire
    EXPECT_EQ(property(control.get(), "LastError"), "I4:10091");

    ASSERT_EQ(control->put_ThrowError(VARIANT_TRUE), S_OK);
    EXPECT_EQ(control->Initialize(Variant::missing(), Variant::missing(), Variant::missing(),
                                  Variant::missing(), &error),
              hr(0x800A276B));
    EXPECT_EQ(takeErrorInfo().second, kNoNetwork);

    // A conversion failure comes back at once and leaves LastError alone.
    ASSERT_EQ(control->put_LastError(0), S_OK);
    EXPECT_EQ(control->Initialize(Variant::missing(), Variant::missing(), Variant(u"three"),
                                  Variant::missing(), &error),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(property(control.get(), "LastError"), "I4:0");

    // In design mode it is an illegal call.
    ComPtr<AmbientSite> site = AmbientSite::create();
    site->setUserMode(false);
    control->SetClientSite(site.get());
    EXPECT_EQ(control->Initialize(Variant::missing(), Variant::missing(), Variant::missing(),
                                  Variant::missing(), &error),
              CTL_E_ILLEGALFUNCTIONCALL);
    control->SetClientSite(nullptr);
}

TEST(WirranReportError, ResolveReportsWithoutOnError) {
    UnavailableLibrary library;
    ComPtr<CWirran> control = newControl();
    EventLog events(control.get());
    Variant address, error;
    EXPECT_EQ(control->Resolve(Variant(u"example.org"), &address, Variant::missing(), &error),
              S_OK);
    EXPECT_EQ(shown(error), "I4:10091");
    EXPECT_TRUE(events.take().empty());
}

TEST(WirranReportError, OnlyIWirranSupportsErrorInfo) {
    ComPtr<CWirran> control = newControl();
    auto support = ComPtr<IWirran>(control.get()).as<ISupportErrorInfo>();
    ASSERT_TRUE(support);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IWirran), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IOleObject), S_FALSE);
}

TEST(WirranEvents, OnCancelAndOnTimeoutCanBeConnectedButNeverFire) {
    ComPtr<CWirran> control = newControl();
    EventLog events(control.get());
    testing::internal::CaptureStderr();  // About's text without a dialog hook
    // Every method, with whatever it requires, on both sides of ThrowError.
    for (bool throwError : {false, true}) {
        control->put_ThrowError(throwError ? VARIANT_TRUE : VARIANT_FALSE);
        for (const DispMember& m : wirranMembers()) {
            if (m.kind != DISPATCH_METHOD) continue;
            Variant out;
            std::vector<Variant> args;
            for (UINT i = 0; i < m.requiredCount; ++i)
                args.push_back(Variant::byRef(&out));
            Variant result;
            dispCall(control.get(), m.name, args, &result);
        }
    }
    testing::internal::GetCapturedStderr();
    std::vector<std::string> raised = events.take();
    EXPECT_FALSE(raised.empty());
    for (const std::string& e : raised) {
        EXPECT_NE(e.rfind("#2(", 0), 0u) << e;
        EXPECT_NE(e.rfind("#7(", 0), 0u) << e;
    }
}
