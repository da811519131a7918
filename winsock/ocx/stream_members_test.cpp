// The blocking stream members against real peers on 127.0.0.1, called by name through
// IDispatch as a host calls them, over the real libws2_32.so.

#include <gtest/gtest.h>

#include <thread>

#include "winsock/ocx/socket/test_peer.h"
#include "winsock/ocx/socket/test_timer.h"
#include "winsock/ocx/wirran_test_support.h"

using namespace wirran_test;
using socket_test::TimerAction;

namespace {

const char* const kRefused = "The connection has been refused by the remote host";

// A member called by name; args in their natural order.
struct Outcome {
    HRESULT hr;
    Variant result;
    std::string text;  // the raised error's description
};
Outcome call(IDispatch* control, const char* member, std::vector<Variant> args = {}) {
    Outcome out;
    out.hr = dispCall(control, member, args, &out.result, &out.text);
    return out;
}

// Connects to 127.0.0.1:port (Timeout as given); the Error result shown.
std::string connect(IDispatch* control, int port, Variant timeout = Variant::missing()) {
    return shown(call(control, "Connect",
                      {Variant(u"127.0.0.1"), Variant(int32_t{port}), Variant::missing(), timeout})
                     .result);
}

// Reads into a string variable: the result shown, the text in *text.
std::string readString(IDispatch* control, int length, std::string* text = nullptr) {
    Variant buffer;
    Outcome out = call(control, "Read", {Variant::byRef(&buffer), Variant(int32_t{length})});
    if (text) *text = buffer.vt == VT_BSTR ? bstrToLatin1(buffer.bstrVal) : "";
    return shown(out.result);
}

std::string lastError(IDispatch* control) {
    return property(control, "LastError");
}

}  // namespace

TEST(WirranStream, ARefusedConnectGoesThroughTheErrorModel) {
    ComPtr<CWirran> control = newControl();
    EventLog events(control.get());
    int port = refusedPort();
    EXPECT_EQ(connect(control.get(), port), "I4:10061");
    EXPECT_EQ(lastError(control.get()), "I4:10061");
    EXPECT_EQ(property(control.get(), "LastErrorString"), "BSTR:" + std::string(kRefused));
    EXPECT_EQ(events.take(),
              (std::vector<std::string>{"#5(I4:10061, BSTR:" + std::string(kRefused) + ")"}));
    EXPECT_EQ(property(control.get(), "Handle"), "I4:-1");

    // Raised: the call fails with the host-visible number, the error object names the control
    // and the text, the result still holds the code, and OnError has fired all the same.
    ASSERT_EQ(put(control.get(), "ThrowError", Variant(true)), S_OK);
    Variant error, missing = Variant::missing();
    HRESULT hr = control->Connect(Variant(u"127.0.0.1"), Variant(port), missing, missing, missing,
                                  missing, missing, &error);
    EXPECT_EQ(hr, static_cast<HRESULT>(0x800A274D));
    EXPECT_EQ(shown(error), "I4:10061");
    EXPECT_EQ(takeErrorInfo(), std::make_pair(std::string(kWirranProgId), std::string(kRefused)));
    EXPECT_EQ(events.take().size(), 1u);
    // Through IDispatch a host sees the same number and text.
    Outcome raised = call(control.get(), "Connect", {Variant(u"127.0.0.1"), Variant(port)});
    EXPECT_EQ(raised.hr, static_cast<HRESULT>(0x800A274D));
    EXPECT_EQ(raised.text, kRefused);
}

TEST(WirranStream, AReadWithNothingComingTimesOutInSecondsOrMilliseconds) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    // Two controls on two threads wait at the same time: 4 and 4000 mean the same.
    auto readWith = [&](int32_t timeout, std::string* read, std::string* error) {
        ComPtr<CWirran> control = newControl();
        ASSERT_EQ(put(control.get(), "Timeout", Variant(timeout)), S_OK);
        ASSERT_EQ(connect(control.get(), server.port()), "I4:0");
        EXPECT_EQ(property(control.get(), "Timeout"), "I4:4");
        *read = readString(control.get(), 2048);
        *error = lastError(control.get());
    };
    std::string read4, error4, read4000, error4000;
    std::thread other([&] { readWith(4000, &read4000, &error4000); });
    readWith(4, &read4, &error4);
    other.join();
    EXPECT_EQ(read4, "I4:-1");
    EXPECT_EQ(error4, "I4:10060");
    EXPECT_EQ(read4000, "I4:-1");
    EXPECT_EQ(error4000, "I4:10060");
}

TEST(WirranStream, ThePeersCloseReadsAsZeroAndShowsInIsClosed) {
    LoopbackServer server([](PeerConnection& peer) { peer.send("last words"); });
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(connect(control.get(), server.port()), "I4:0");
    EXPECT_EQ(property(control.get(), "Connected"), "BOOL:-1");
    EXPECT_EQ(property(control.get(), "State"), "I4:1");
    std::string text;
    EXPECT_EQ(readString(control.get(), 100, &text), "I4:10");
    EXPECT_EQ(text, "last words");
    EXPECT_EQ(property(control.get(), "IsClosed"), "BOOL:0");
    EXPECT_EQ(readString(control.get(), 100, &text), "I4:0");
    EXPECT_EQ(text, "");
    EXPECT_EQ(property(control.get(), "IsClosed"), "BOOL:-1");

    EXPECT_EQ(shown(call(control.get(), "Disconnect").result), "I4:0");
    EXPECT_EQ(property(control.get(), "Handle"), "I4:-1");
    EXPECT_EQ(property(control.get(), "State"), "I4:0");
    EXPECT_EQ(readString(control.get(), 100), "I4:-1");
    EXPECT_EQ(lastError(control.get()), "I4:10057") << "no socket on a TCP control";
    EXPECT_EQ(shown(call(control.get(), "Disconnect").result), "I4:0") << "nothing to close";
}

TEST(WirranStream, ASecondBlockingCallFromAHandlerFailsWith10036) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(connect(control.get(), server.port(), Variant(int32_t{2})), "I4:0");
    std::string nested, nestedError, blocked, state;
    TimerAction handler(50, [&] {
        blocked = property(control.get(), "IsBlocked");
        state = property(control.get(), "State");
        nested = readString(control.get(), 10);
        nestedError = lastError(control.get());
    });
    EXPECT_EQ(readString(control.get(), 10), "I4:-1");
    EXPECT_EQ(lastError(control.get()), "I4:10060") << "the outer read ran to its time-out";
    EXPECT_EQ(nested, "I4:-1");
    EXPECT_EQ(nestedError, "I4:10036");
    EXPECT_EQ(blocked, "BOOL:-1");
    EXPECT_EQ(state, "I4:5");
    EXPECT_EQ(property(control.get(), "IsBlocked"), "BOOL:0");
}

TEST(WirranStream, CancelFromATimerEndsAReadAndKeepsTheConnection) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(connect(control.get(), server.port()), "I4:0");  // no time-out at all
    std::string cancelled;
    TimerAction cancel(50, [&] { cancelled = shown(call(control.get(), "Cancel").result); });
    EXPECT_EQ(readString(control.get(), 10), "I4:-1");
    EXPECT_EQ(cancelled, "I4:0");
    EXPECT_EQ(lastError(control.get()), "I4:10004");
    EXPECT_EQ(property(control.get(), "Connected"), "BOOL:-1");
    // With no wait in progress there is nothing to cancel on a control without a socket.
    call(control.get(), "Disconnect");
    EXPECT_EQ(shown(call(control.get(), "Cancel").result), "I4:12009");
}

TEST(WirranStream, AbortFromATimerEndsAReadAndClosesTheSocket) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(connect(control.get(), server.port()), "I4:0");
    std::string aborted;
    TimerAction abort(50, [&] { aborted = shown(call(control.get(), "Abort").result); });
    EXPECT_EQ(readString(control.get(), 10), "I4:-1");
    EXPECT_EQ(aborted, "I4:0");
    EXPECT_EQ(lastError(control.get()), "I4:10053");
    EXPECT_EQ(property(control.get(), "Handle"), "I4:-1");
    EXPECT_EQ(property(control.get(), "Connected"), "BOOL:0");
}

TEST(WirranStream, DisconnectFromAHandlerEndsTheReadItInterrupts) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(connect(control.get(), server.port()), "I4:0");
    std::string disconnected;
    TimerAction close(50, [&] { disconnected = shown(call(control.get(), "Disconnect").result); });
    EXPECT_EQ(readString(control.get(), 10), "I4:-1");
    EXPECT_EQ(disconnected, "I4:0");
    EXPECT_EQ(lastError(control.get()), "I4:10053") << "the socket was not left open";
    EXPECT_EQ(property(control.get(), "Handle"), "I4:-1");
}

TEST(WirranStream, AQuitMessageEndsAReadAndStaysQueued) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(connect(control.get(), server.port()), "I4:0");
    TimerAction quit(50, [] { PostQuitMessage(0); });
    EXPECT_EQ(readString(control.get(), 10), "I4:-1");
    EXPECT_EQ(lastError(control.get()), "I4:10060");
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
}

TEST(WirranStream, AStringGoesOutOneBytePerCharacterAndNoMoreThanItHolds) {
    std::string received;
    LoopbackServer server([&](PeerConnection& peer) { received = peer.receiveUntilClosed(); });
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(connect(control.get(), server.port()), "I4:0");
    Outcome wrote = call(control.get(), "Write", {Variant(u"0123456789"), Variant(int32_t{20})});
    EXPECT_EQ(shown(wrote.result), "I4:10");
    wrote = call(control.get(), "Write", {Variant(u"abcdef"), Variant(int32_t{3})});
    EXPECT_EQ(shown(wrote.result), "I4:3");
    call(control.get(), "Disconnect");
    ASSERT_TRUE(server.waitHandled(1));
    EXPECT_EQ(received, "0123456789abc");
}

TEST(WirranStream, AReadTakesAtMostLengthCharacters) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.send(std::string(5000, 'q'));
        peer.hold();
    });
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(connect(control.get(), server.port(), Variant(int32_t{5})), "I4:0");
    size_t total = 0;
    while (total < 5000) {
        std::string text;
        Variant buffer;
        Outcome read = call(control.get(), "Read", {Variant::byRef(&buffer), Variant(2048)});
        ASSERT_EQ(read.result.vt, VT_I4);
        ASSERT_GT(read.result.lVal, 0);
        EXPECT_LE(read.result.lVal, 2048);
        EXPECT_EQ(SysStringLen(buffer.bstrVal), static_cast<UINT>(read.result.lVal));
        total += static_cast<size_t>(read.result.lVal);
    }
    EXPECT_EQ(total, 5000u);
}

TEST(WirranStream, EveryByteSurvivesARoundTripThroughAString) {
    LoopbackServer echo([](PeerConnection& peer) { peer.send(peer.receive(256)); });
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(connect(control.get(), echo.port(), Variant(int32_t{5})), "I4:0");
    std::u16string all;
    for (char16_t c = 0; c < 256; ++c)
        all.push_back(c);
    EXPECT_EQ(shown(call(control.get(), "Write", {Variant(std::u16string_view(all))}).result),
              "I4:256");
    std::u16string back;
    while (back.size() < 256) {
        Variant buffer;
        Outcome read = call(control.get(), "Read", {Variant::byRef(&buffer)});
        ASSERT_GT(read.result.lVal, 0) << lastError(control.get());
        back += bstrView(buffer.bstrVal);
    }
    EXPECT_EQ(back, all);
}

TEST(WirranStream, IntegerArraysTravelInTheChosenByteOrder) {
    std::string received;
    LoopbackServer server([&](PeerConnection& peer) {
        received = peer.receive(4);
        peer.send("\x0A\x0B\x0C\x0D");
        peer.hold();
    });
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(connect(control.get(), server.port(), Variant(int32_t{5})), "I4:0");
    ASSERT_EQ(put(control.get(), "ByteOrder", Variant(int32_t{1})), S_OK);  // network order
    Variant shorts;
    shorts.vt = VT_ARRAY | VT_I2;
    shorts.parray = SafeArrayCreateVector(VT_I2, 0, 2);
    static_cast<int16_t*>(shorts.parray->pvData)[0] = 0x0102;
    static_cast<int16_t*>(shorts.parray->pvData)[1] = 0x0304;
    EXPECT_EQ(shown(call(control.get(), "Write", {shorts}).result), "I4:4");

    // A by-reference array not yet allocated is made for what arrives.
    SAFEARRAY* longs = nullptr;
    Outcome read = call(control.get(), "Read",
                        {Variant::byRef(VT_ARRAY | VT_I4, &longs), Variant(int32_t{4})});
    EXPECT_EQ(shown(read.result), "I4:4");
    ASSERT_NE(longs, nullptr);
    EXPECT_EQ(safeArrayElementCount(longs), 1u);
    EXPECT_EQ(static_cast<int32_t*>(longs->pvData)[0], 0x0A0B0C0D);
    SafeArrayDestroy(longs);
    ASSERT_TRUE(server.waitHandled(0));
    EXPECT_EQ(received, "\x01\x02\x03\x04");
}

TEST(WirranStream, ConnectTakesItsDefaultsAndSetsTheOptionProperties) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(put(control.get(), "RemotePort", Variant(int32_t{server.port()})), S_OK);
    ASSERT_EQ(put(control.get(), "Timeout", Variant(int32_t{7})), S_OK);
    // Options given: NoDelay alone, so ReuseAddress (TRUE before) follows the word to FALSE.
    Outcome done = call(control.get(), "Connect",
                        {Variant(u"localhost"), Variant::missing(), Variant::missing(),
                         Variant::missing(), Variant(int32_t{16})});
    ASSERT_EQ(shown(done.result), "I4:0") << lastError(control.get());
    EXPECT_EQ(property(control.get(), "HostName"), "BSTR:localhost");
    EXPECT_EQ(property(control.get(), "Timeout"), "I4:7");
    EXPECT_EQ(property(control.get(), "NoDelay"), "BOOL:-1");
    EXPECT_EQ(property(control.get(), "ReuseAddress"), "BOOL:0");
    EXPECT_NE(property(control.get(), "Handle"), "I4:-1");
    // A time-out put on the open socket applies to it, milliseconds too.
    ASSERT_EQ(put(control.get(), "Timeout", Variant(int32_t{3000})), S_OK);
    EXPECT_EQ(property(control.get(), "Timeout"), "I4:3");
    EXPECT_EQ(property(control.get(), "IsWritable"), "BOOL:-1");
    EXPECT_EQ(property(control.get(), "IsReadable"), "BOOL:0");
}

TEST(WirranStream, ConnectFailuresCarryTheirCodes) {
    ComPtr<CWirran> control = newControl();
    struct Case {
        const char* what;
        std::vector<Variant> args;
        const char* error;
    } cases[] = {
        {"no host at all", {}, "I4:11001"},
        {"port too large", {Variant(u"127.0.0.1"), Variant(int32_t{65536})}, "I4:12006"},
        {"TCP port 0", {Variant(u"127.0.0.1"), Variant(int32_t{0})}, "I4:12006"},
        {"any address", {Variant(u"0.0.0.0"), Variant(int32_t{80})}, "I4:12005"},
        {"bad local address",
         {Variant(u"127.0.0.1"), Variant(int32_t{80}), Variant::missing(), Variant::missing(),
          Variant::missing(), Variant(u"1.2.3.x")},
         "I4:12005"},
    };
    for (Case& c : cases) {
        Outcome out = call(control.get(), "Connect", c.args);
        EXPECT_EQ(out.hr, S_OK) << c.what;
        EXPECT_EQ(shown(out.result), c.error) << c.what;
        EXPECT_EQ("I4:" + std::string(c.error + 3), lastError(control.get())) << c.what;
    }
}

TEST(WirranStream, ArgumentErrorsReturnAtOnceAndLeaveLastErrorAlone) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(connect(control.get(), server.port(), Variant(int32_t{5})), "I4:0");
    ASSERT_EQ(put(control.get(), "LastError", Variant(int32_t{10060})), S_OK);
    Variant buffer, real(2.5);
    struct Case {
        const char* member;
        std::vector<Variant> args;
        HRESULT hr;
    } cases[] = {
        {"Read",
         {Variant::byRef(&buffer), Variant(int32_t{10}), Variant(int32_t{1})},
         E_INVALIDARG},
        {"Read", {Variant::byRef(&buffer), Variant(int32_t{-1})}, E_INVALIDARG},
        {"Read", {Variant::byRef(&real), Variant(int32_t{8})}, E_INVALIDARG},
        {"Read", {Variant::byRef(&buffer), Variant(u"ten")}, DISP_E_TYPEMISMATCH},
        {"Write", {Variant(u"x"), Variant::missing(), Variant(int32_t{2})}, E_INVALIDARG},
        {"Write", {real}, E_INVALIDARG},
        {"Connect", {Variant(u"127.0.0.1"), Variant(u"http")}, DISP_E_TYPEMISMATCH},
    };
    for (Case& c : cases)
        EXPECT_EQ(call(control.get(), c.member, c.args).hr, c.hr) << c.member;
    EXPECT_EQ(lastError(control.get()), "I4:10060");
    EXPECT_NE(property(control.get(), "Handle"), "I4:-1") << "still connected";
}

TEST(WirranStream, TheSocketBelongsToTheThreadThatConnected) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    ComPtr<CWirran> control = newControl();
    ASSERT_EQ(connect(control.get(), server.port(), Variant(int32_t{5})), "I4:0");
    std::string read, error;
    std::thread([&] {
        read = readString(control.get(), 10);
        error = lastError(control.get());
    }).join();
    EXPECT_EQ(read, "I4:-1");
    EXPECT_EQ(error, "I4:10001");
}

TEST(WirranStream, ADatagramConnectSendsToItsPeerAndReadsTheSender) {
    UdpEcho echo;
    ComPtr<CWirran> control = newControl();
    Outcome connected = call(
        control.get(), "Connect",
        {Variant(u"127.0.0.1"), Variant(echo.port()), Variant(int32_t{17}), Variant(int32_t{5})});
    ASSERT_EQ(shown(connected.result), "I4:0") << lastError(control.get());
    EXPECT_EQ(property(control.get(), "Protocol"), "I4:17");
    EXPECT_EQ(shown(call(control.get(), "Write", {Variant(u"datagram")}).result), "I4:8");

    Variant buffer, address, port = Variant(u"");  // a string variable gets the port as text
    Outcome read = call(control.get(), "Read",
                        {Variant::byRef(&buffer), Variant(int32_t{100}), Variant::missing(),
                         Variant::byRef(&address), Variant::byRef(&port)});
    EXPECT_EQ(shown(read.result), "I4:8");
    EXPECT_EQ(shown(buffer), "BSTR:datagram");
    EXPECT_EQ(shown(address), "BSTR:127.0.0.1");
    EXPECT_EQ(shown(port), "BSTR:" + std::to_string(echo.port()));
}
