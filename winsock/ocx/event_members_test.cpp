// The control in event-driven mode against real peers on 127.0.0.1: an asynchronous Connect,
// the socket's notifications as events, Blocking switched on an open socket, the host freezing
// events through IOleControl, OnProgress, and State through a connection's life.

#include <gtest/gtest.h>

#include <algorithm>

#include "winsock/ocx/socket/test_peer.h"
#include "winsock/ocx/socket/test_timer.h"
#include "winsock/ocx/socket/watch.h"
#include "winsock/ocx/wirran_test_support.h"

using namespace wirran_test;
using socket_test::pumpFor;
using socket_test::pumpUntil;

namespace {

std::string call(IDispatch* control, const char* member, std::vector<Variant> args = {}) {
    Variant result;
    HRESULT hr = dispCall(control, member, args, &result);
    return hr == S_OK ? shown(result) : "HR:" + std::to_string(hr);
}

std::string connect(IDispatch* control, int port) {
    return call(control, "Connect", {Variant(u"127.0.0.1"), Variant(int32_t{port})});
}

std::string readText(IDispatch* control, int length) {
    Variant buffer;
    std::string result = call(control, "Read", {Variant::byRef(&buffer), Variant(length)});
    if (result == "I4:-1") return result;
    return buffer.vt == VT_BSTR ? bstrToLatin1(buffer.bstrVal) : "";
}

// The names of the events raised so far, in order ("OnRead", ...), with arguments for those that
// have them; the log is emptied.
std::vector<std::string> names(EventLog& events) {
    std::vector<std::string> out;
    for (std::string line : events.take()) {
        DISPID id = std::stoi(line.substr(1));
        for (const WirranEventName& e : kWirranEvents)
            if (e.id == id) line = e.name + line.substr(line.find('('));
        if (line.size() > 2 && line.substr(line.size() - 2) == "()") line.resize(line.size() - 2);
        out.push_back(line);
    }
    return out;
}

bool heard(EventLog& events, DISPID id) {
    for (const auto& c : events.sink().calls)
        if (c.id == id) return true;
    return false;
}

class WirranEvents : public ::testing::Test {
  protected:
    ComPtr<CWirran> m_control = newControl();
    IDispatch* c = m_control.get();
    EventLog events{m_control.get()};

    void SetUp() override { ASSERT_EQ(put(c, "Blocking", Variant(false)), S_OK); }
};

}  // namespace

TEST_F(WirranEvents, AnEchoClientRunsOnEventsAlone) {
    LoopbackServer server([](PeerConnection& peer) {
        std::string got = peer.receive(5);
        peer.send(got);
        peer.hold(2000);
    });
    std::string echoed;
    events.sink().onInvoke = [&] {
        DISPID id = events.sink().calls.back().id;
        if (id == kOnConnect) call(c, "Write", {Variant(u"hello")});
        if (id == kOnRead) echoed += readText(c, 2);  // in parts: OnRead comes again
    };
    ASSERT_EQ(connect(c, server.port()), "I4:0") << "the connect goes on without waiting";
    EXPECT_EQ(property(c, "State"), "I4:3");
    EXPECT_NE(property(c, "Handle"), "I4:-1");
    ASSERT_TRUE(pumpUntil([&] { return echoed.size() == 5; })) << echoed;
    EXPECT_EQ(echoed, "hello");
    EXPECT_EQ(property(c, "State"), "I4:1");
    EXPECT_EQ(property(c, "Connected"), "BOOL:-1");
    EXPECT_EQ(names(events),
              (std::vector<std::string>{"OnConnect", "OnWrite", "OnRead", "OnRead", "OnRead"}));
    // The server ends the connection.
    ASSERT_TRUE(pumpUntil([&] { return heard(events, kOnDisconnect); }, 5000));
    EXPECT_EQ(call(c, "Disconnect"), "I4:0");
    EXPECT_EQ(property(c, "State"), "I4:0");
}

TEST_F(WirranEvents, ARefusedConnectClosesTheSocketBeforeOnError) {
    std::string handleInHandler;
    events.sink().onInvoke = [&] { handleInHandler = property(c, "Handle"); };
    ASSERT_EQ(connect(c, refusedPort()), "I4:0");
    ASSERT_TRUE(pumpUntil([&] { return heard(events, kOnError); }));
    EXPECT_EQ(names(events),
              (std::vector<std::string>{
                  "OnError(I4:10061, BSTR:The connection has been refused by the remote host)"}));
    EXPECT_EQ(handleInHandler, "I4:-1");
    EXPECT_EQ(property(c, "LastError"), "I4:10061");
    EXPECT_EQ(property(c, "State"), "I4:0");
}

TEST_F(WirranEvents, AHostThatNeverPumpsHearsNothing) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.send("data");
        peer.hold(2000);
    });
    ASSERT_EQ(connect(c, server.port()), "I4:0");
    for (int i = 0; i < 200 && server.accepted() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(events.take().empty());
    EXPECT_EQ(property(c, "State"), "I4:3") << "nobody has run the connect's notification";
    ASSERT_TRUE(pumpUntil([&] { return heard(events, kOnRead); }));
}

TEST_F(WirranEvents, BlockingSwitchesAnOpenSocketBothWays) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.receive(1);
        peer.send("one");
        peer.receive(1);
        peer.send("two");
        peer.hold(2000);
    });
    ASSERT_EQ(put(c, "Blocking", Variant(true)), S_OK);
    ASSERT_EQ(connect(c, server.port()), "I4:0");
    EXPECT_EQ(call(c, "Write", {Variant(u"a")}), "I4:1");
    EXPECT_EQ(readText(c, 3), "one");
    pumpFor(100);
    EXPECT_TRUE(events.take().empty()) << "blocking mode raises no socket events";

    ASSERT_EQ(put(c, "Blocking", Variant(false)), S_OK);
    EXPECT_EQ(call(c, "Write", {Variant(u"b")}), "I4:1");
    ASSERT_TRUE(pumpUntil([&] { return heard(events, kOnRead); }));
    EXPECT_EQ(readText(c, 3), "two");
    // Both arrive; which comes first depends on whether the reply was already there when the
    // socket was first seen writable.
    std::vector<std::string> heard_names = names(events);
    std::sort(heard_names.begin(), heard_names.end());
    EXPECT_EQ(heard_names, (std::vector<std::string>{"OnRead", "OnWrite"}));

    ASSERT_EQ(put(c, "Blocking", Variant(true)), S_OK);
    pumpFor(100);
    EXPECT_TRUE(events.take().empty());
    EXPECT_EQ(property(c, "Blocking"), "BOOL:-1");
}

TEST_F(WirranEvents, FrozenEventsArriveOnceInOrderAtTheThaw) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.send("x");
        peer.hold(2000);
    });
    ComPtr<IOleControl> ole = m_control.as<IOleControl>();
    ASSERT_EQ(ole->FreezeEvents(TRUE), S_OK);
    ASSERT_EQ(connect(c, server.port()), "I4:0");
    pumpFor(300);
    EXPECT_TRUE(events.take().empty()) << "nothing while frozen";
    ASSERT_EQ(ole->FreezeEvents(TRUE), S_OK);
    ASSERT_EQ(ole->FreezeEvents(FALSE), S_OK);
    pumpFor(100);
    EXPECT_TRUE(events.take().empty()) << "still frozen once";
    ASSERT_EQ(ole->FreezeEvents(FALSE), S_OK);
    ASSERT_TRUE(pumpUntil([&] { return heard(events, kOnRead); }));
    pumpFor(100);
    EXPECT_EQ(names(events), (std::vector<std::string>{"OnConnect", "OnRead", "OnWrite"}));
}

TEST_F(WirranEvents, AConnectCompletingWhileFrozenIsRaisedAtTheThaw) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(2000); });
    ASSERT_EQ(put(c, "Blocking", Variant(true)), S_OK);
    ASSERT_EQ(connect(c, server.port()), "I4:0");
    LONG handle = 0, window = 0;
    ASSERT_EQ(m_control->get_Handle(&handle), S_OK);
    ASSERT_EQ(m_control->get_Window(&window), S_OK);
    ComPtr<IOleControl> ole = m_control.as<IOleControl>();
    ASSERT_EQ(ole->FreezeEvents(TRUE), S_OK);
    // The connect notification as the socket layer sends it, while the host's events are frozen.
    SendMessageA(reinterpret_cast<HWND>(static_cast<intptr_t>(window)), kSocketNotifyMessage,
                 static_cast<WPARAM>(handle), kvlink::kNotifyConnect);
    EXPECT_TRUE(events.take().empty());
    ASSERT_EQ(ole->FreezeEvents(FALSE), S_OK);
    EXPECT_EQ(names(events), (std::vector<std::string>{"OnConnect"}));
    ASSERT_EQ(ole->FreezeEvents(TRUE), S_OK);
    ASSERT_EQ(ole->FreezeEvents(FALSE), S_OK);
    EXPECT_TRUE(events.take().empty()) << "raised once";
}

TEST_F(WirranEvents, ProgressReachesABlockingHostAndCountsAnEmptyTransferAsDone) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(2000); });
    ASSERT_EQ(put(c, "Blocking", Variant(true)), S_OK);
    ASSERT_EQ(connect(c, server.port()), "I4:0");
    LONG handle = 0;
    ASSERT_EQ(m_control->get_Handle(&handle), S_OK);
    struct Case {
        uint64_t total, copied;
        const char* event;
    } cases[] = {
        {0, 0, "OnProgress(I4:0, I4:0, I4:100)"},
        {200, 50, "OnProgress(I4:200, I4:50, I4:25)"},
        {10, 40, "OnProgress(I4:40, I4:40, I4:100)"},
    };
    for (const Case& k : cases) {
        ASSERT_TRUE(kvlink::setTransferProgress(handle, k.total, k.copied, 0));
        ASSERT_TRUE(kvlink::notifyProgress(handle));
        EXPECT_EQ(names(events), (std::vector<std::string>{k.event}));
    }
}

TEST_F(WirranEvents, IntervalAbove65535FailsAndZeroStopsTheTimer) {
    EXPECT_EQ(put(c, "Interval", Variant(int32_t{70000})), CTL_E_INVALIDPROPERTYVALUE);
    EXPECT_EQ(property(c, "Interval"), "I4:0");
    ASSERT_EQ(put(c, "Interval", Variant(int32_t{65535})), S_OK);
    ASSERT_EQ(put(c, "Interval", Variant(int32_t{10})), S_OK);
    ASSERT_TRUE(pumpUntil([&] { return heard(events, kOnTimer); }));
    ASSERT_EQ(put(c, "Interval", Variant(int32_t{0})), S_OK);
    events.take();
    pumpFor(100);
    EXPECT_TRUE(events.take().empty()) << "no tick after Interval = 0";
}
