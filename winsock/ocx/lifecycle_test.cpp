// The library lifecycle over a stand-in network library: Initialize, what Reset keeps,
// Uninitialize, destruction, tracing, and the interval timer.

#include <gtest/gtest.h>

#include "winsock/ocx/wirran_test_support.h"

using namespace wirran_test;

namespace {

HRESULT initialize(CWirran* control, Variant module = Variant::missing(),
                   VARIANT* error = nullptr) {
    Variant ignored;
    return control->Initialize(Variant::missing(), module, Variant::missing(), Variant::missing(),
                               error ? error : &ignored);
}

// Runs the thread's messages until the sink has heard `count` events; no clock is involved.
void pumpUntil(CountingSink& sink, size_t count) {
    MSG msg;
    while (sink.calls.size() < count && GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
}

}  // namespace

TEST(WirranLifecycle, InitializeStartsTheLibraryOnceAndReportsWhatItSays) {
    FakeLibrary library;
    ComPtr<CWirran> control = newControl();
    Variant error;
    ASSERT_EQ(initialize(control.get(), Variant(u"custom_ws2.so"), &error), S_OK);
    EXPECT_EQ(shown(error), "I4:0");
    EXPECT_EQ(FakeLibrary::lastModule, "custom_ws2.so");
    EXPECT_EQ(property(control.get(), "Library"), "BSTR:/usr/lib/vantel/libws2_32.so");
    EXPECT_EQ(property(control.get(), "WinsockVendor"), "BSTR:Wirran Windows Sockets Library");
    EXPECT_EQ(property(control.get(), "WinsockVersion"), "BSTR:2.2");
    EXPECT_EQ(property(control.get(), "MaxSockets"), "I4:1024");
    EXPECT_EQ(property(control.get(), "MaxDatagram"), "I4:65467");
    // The library start made the window, even without a site.
    EXPECT_NE(property(control.get(), "Window"), "I4:0");

    ASSERT_EQ(initialize(control.get()), S_OK);
    EXPECT_EQ(FakeLibrary::starts, 1);
    EXPECT_EQ(put(control.get(), "Library", Variant(u"other.so")), CTL_E_SETNOTSUPPORTED);
    // Without a socket the library-backed getters answer from the stored values.
    EXPECT_EQ(property(control.get(), "LocalPort"), "I4:0");
    EXPECT_EQ(property(control.get(), "RemoteService"), "BSTR:");
}

TEST(WirranLifecycle, ResetKeepsTheLibraryAndUninitializeReleasesIt) {
    FakeLibrary library;
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(initialize(control.get()), S_OK);
    ASSERT_EQ(put(control.get(), "LocalPort", Variant(int32_t{8080})), S_OK);
    ASSERT_EQ(put(control.get(), "Interval", Variant(int32_t{1000})), S_OK);

    ASSERT_EQ(control->Reset(), S_OK);
    EXPECT_EQ(property(control.get(), "MaxSockets"), "I4:1024");
    EXPECT_EQ(property(control.get(), "MaxDatagram"), "I4:65467");
    EXPECT_EQ(property(control.get(), "WinsockVendor"), "BSTR:Wirran Windows Sockets Library");
    EXPECT_EQ(property(control.get(), "Library"), "BSTR:");  // the path is a Reset value
    EXPECT_EQ(property(control.get(), "LocalPort"), "I4:0");
    EXPECT_EQ(property(control.get(), "Interval"), "I4:0");
    ASSERT_EQ(initialize(control.get()), S_OK);
    EXPECT_EQ(FakeLibrary::starts, 1);

    ASSERT_EQ(control->Uninitialize(), S_OK);
    EXPECT_EQ(FakeLibrary::stops, 1);
    EXPECT_EQ(property(control.get(), "MaxSockets"), "I4:0");
    EXPECT_EQ(property(control.get(), "MaxDatagram"), "I4:0");
    EXPECT_EQ(property(control.get(), "WinsockVendor"), "BSTR:");
    EXPECT_EQ(property(control.get(), "WinsockVersion"), "BSTR:");
    EXPECT_EQ(put(control.get(), "Library", Variant(u"other.so")), S_OK);
    ASSERT_EQ(control->Uninitialize(), S_OK);
    EXPECT_EQ(FakeLibrary::stops, 1);  // nothing more to release

    ASSERT_EQ(initialize(control.get()), S_OK);
    EXPECT_EQ(FakeLibrary::starts, 2);
    control.reset();
    EXPECT_EQ(FakeLibrary::stops, 2);  // destruction releases it
}

TEST(WirranLifecycle, TheStartOpensTheTraceAndResetClosesIt) {
    FakeLibrary library;
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(put(control.get(), "TraceFile", Variant(u"/tmp/w.log")), S_OK);
    ASSERT_EQ(put(control.get(), "TraceFlags", Variant(int32_t{wrTraceError})), S_OK);
    ASSERT_EQ(put(control.get(), "Trace", Variant(true)), S_OK);
    EXPECT_EQ(FakeLibrary::traceEnables, 0);  // only stored before the start

    ASSERT_EQ(initialize(control.get()), S_OK);
    EXPECT_EQ(FakeLibrary::traceEnables, 1);
    EXPECT_EQ(FakeLibrary::lastTraceFile, "/tmp/w.log");
    EXPECT_EQ(FakeLibrary::lastTraceFlags, wrTraceError);
    EXPECT_EQ(property(control.get(), "Trace"), "BOOL:-1");

    // New flags reopen the open trace with them.
    ASSERT_EQ(put(control.get(), "TraceFlags", Variant(int32_t{wrTraceHexDump})), S_OK);
    EXPECT_EQ(FakeLibrary::traceDisables, 1);
    EXPECT_EQ(FakeLibrary::traceEnables, 2);
    EXPECT_EQ(FakeLibrary::lastTraceFlags, wrTraceHexDump);

    ASSERT_EQ(control->Reset(), S_OK);
    EXPECT_EQ(FakeLibrary::traceDisables, 2);
    EXPECT_EQ(property(control.get(), "Trace"), "BOOL:0");

    // A missing trace library leaves tracing off, and Trace says so.
    FakeLibrary::traceWorks = false;
    ASSERT_EQ(put(control.get(), "Trace", Variant(true)), S_OK);
    EXPECT_EQ(property(control.get(), "Trace"), "BOOL:0");
    ASSERT_EQ(put(control.get(), "Trace", Variant(false)), S_OK);
    EXPECT_EQ(FakeLibrary::traceDisables, 2);  // nothing was open
}

TEST(WirranLifecycle, TheIntervalTimerRaisesOnTimerButNeverInsideItself) {
    FakeLibrary library;
    ComPtr<CWirran> control = newControl();
    EventLog events(control.get());
    ASSERT_EQ(put(control.get(), "Interval", Variant(int32_t{10})), S_OK);
    EXPECT_EQ(FakeLibrary::starts, 1);  // the put started the library

    // The first handler pumps through further ticks, as a handler showing a dialog would.
    int depth = 0, nested = 0, ticksInside = 0;
    events.sink().onInvoke = [&] {
        if (depth++ > 0) ++nested;
        if (events.sink().calls.size() == 1) {
            MSG msg;
            while (ticksInside < 3 && GetMessageA(&msg, nullptr, 0, 0) > 0) {
                if (msg.message == WM_TIMER) ++ticksInside;
                DispatchMessageA(&msg);
            }
        }
        --depth;
    };
    pumpUntil(events.sink(), 2);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(ticksInside, 3);
    EXPECT_EQ(events.take(), (std::vector<std::string>{"#8()", "#8()"}));

    // Stopping: no timer is left for the window.
    ASSERT_EQ(put(control.get(), "Interval", Variant(int32_t{0})), S_OK);
    LONG window = 0;
    control->get_Window(&window);
    EXPECT_FALSE(KillTimer(reinterpret_cast<HWND>(static_cast<uintptr_t>(window)), 1));
    ASSERT_EQ(put(control.get(), "Interval", Variant(int32_t{-5})), S_OK);
    EXPECT_EQ(property(control.get(), "Interval"), "I4:-5");
}

TEST(WirranLifecycle, DesignModeNeitherStartsTheLibraryNorTheTimer) {
    FakeLibrary library;
    ComPtr<CWirran> control = newControl();
    ComPtr<AmbientSite> site = AmbientSite::create();
    site->setUserMode(false);
    control->SetClientSite(site.get());
    EXPECT_EQ(put(control.get(), "Interval", Variant(int32_t{100})), S_OK);
    EXPECT_EQ(put(control.get(), "HostName", Variant(u"example.org")), S_OK);
    EXPECT_EQ(FakeLibrary::starts, 0);
    site->setUserMode(true);
    EXPECT_EQ(property(control.get(), "Interval"), "I4:0");
    EXPECT_EQ(property(control.get(), "HostName"), "BSTR:example.org");
    ASSERT_EQ(control->Reset(), S_OK);
    EXPECT_EQ(property(control.get(), "HostName"), "BSTR:");
    control->SetClientSite(nullptr);
}
