// The server and datagram members against other controls on 127.0.0.1: Listen, Accept, Reject,
// Bind, the datagram Write and Read, Shutdown and the option properties, called by name through
// IDispatch as a host calls them, over the real libws2_32.so.

#include <gtest/gtest.h>

#include <unistd.h>

#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/socket/test_peer.h"
#include "winsock/ocx/socket/test_timer.h"
#include "winsock/ocx/wirran_test_support.h"

using namespace wirran_test;

namespace {

Variant call(IDispatch* control, const char* member, std::vector<Variant> args = {}) {
    Variant result;
    dispCall(control, member, args, &result);
    return result;
}

std::string result(IDispatch* control, const char* member, std::vector<Variant> args = {}) {
    return shown(call(control, member, std::move(args)));
}

int number(IDispatch* control, const char* name) {
    std::string text = property(control, name);
    return text.rfind("I4:", 0) == 0 ? std::stoi(text.substr(3)) : -99999;
}

// Listens on a free port of every address; the port.
int listenAnywhere(IDispatch* control) {
    EXPECT_EQ(result(control, "Listen", {Variant::missing(), Variant(int32_t{0})}), "I4:0")
        << property(control, "LastError");
    return number(control, "LocalPort");
}

std::string connectTo(IDispatch* control, const char16_t* address, int port) {
    return result(control, "Connect", {Variant(address), Variant(int32_t{port})});
}

std::string readText(IDispatch* control, int length, std::string* text) {
    Variant buffer;
    Variant n = call(control, "Read", {Variant::byRef(&buffer), Variant(int32_t{length})});
    *text = buffer.vt == VT_BSTR ? bstrToLatin1(buffer.bstrVal) : "";
    return shown(n);
}

// A BOOL option of the control's socket as the network library reports it.
int socketFlag(IDispatch* control, int level, int option) {
    int value = -1;
    int size = sizeof value;
    kvlink::networkLibrary().getsockopt(static_cast<SOCKET>(number(control, "Handle")), level,
                                        option, reinterpret_cast<char*>(&value), &size);
    return value != 0 ? 1 : value;
}

// A server control listening, a client control connected to it, and the server's Accept
// without arguments, so the server control holds the connection.
struct AcceptedPair {
    ComPtr<CWirran> server = newControl();
    ComPtr<CWirran> client = newControl();
    AcceptedPair() {
        int port = listenAnywhere(server.get());
        EXPECT_EQ(connectTo(client.get(), u"127.0.0.1", port), "I4:0");
        put(server.get(), "Timeout", Variant(int32_t{5}));
        put(client.get(), "Timeout", Variant(int32_t{5}));
        EXPECT_EQ(result(server.get(), "Accept"), "I4:0") << property(server.get(), "LastError");
    }
};

}  // namespace

TEST(WirranServer, ListenWithoutAnAddressTakesEveryAddressWhateverTheProperty) {
    ComPtr<CWirran> server = newControl();
    ASSERT_EQ(put(server.get(), "LocalAddress", Variant(u"127.0.0.1")), S_OK);
    ASSERT_EQ(put(server.get(), "Backlog", Variant(int32_t{0})), S_OK);  // the platform's most
    int port = listenAnywhere(server.get());
    ASSERT_GT(port, 0);
    EXPECT_EQ(property(server.get(), "Listening"), "BOOL:-1");
    EXPECT_EQ(property(server.get(), "State"), "I4:2");
    // 127.0.0.2 is another loopback address: only a socket on every address answers there.
    ComPtr<CWirran> client = newControl();
    EXPECT_EQ(connectTo(client.get(), u"127.0.0.2", port), "I4:0")
        << property(client.get(), "LastError");

    // Named, the address is resolved and kept; a name that does not resolve is 12005.
    EXPECT_EQ(result(server.get(), "Listen", {Variant(u"localhost"), Variant(int32_t{0})}), "I4:0");
    EXPECT_EQ(property(server.get(), "LocalAddress"), "BSTR:127.0.0.1");
    EXPECT_EQ(result(server.get(), "Listen", {Variant(u"no.such.host.invalid")}), "I4:12005");
    EXPECT_EQ(property(server.get(), "Handle"), "I4:-1") << "the old socket went first";
    EXPECT_EQ(result(server.get(), "Listen", {Variant::missing(), Variant(int32_t{65536})}),
              "I4:12006");
}

TEST(WirranServer, AStreamCallOnAListeningSocketIsRefusedAtOnce) {
    ComPtr<CWirran> server = newControl();
    listenAnywhere(server.get());
    std::string text;
    EXPECT_EQ(readText(server.get(), 10, &text), "I4:-1");
    EXPECT_EQ(property(server.get(), "LastError"), "I4:10057");
    EXPECT_EQ(result(server.get(), "Write", {Variant(u"x")}), "I4:-1");
    EXPECT_EQ(property(server.get(), "LastError"), "I4:10057");
    for (const char* member : {"ReadByte", "Flush"}) {
        put(server.get(), "LastError", Variant(int32_t{0}));
        call(server.get(), member);
        EXPECT_EQ(property(server.get(), "LastError"), "I4:10057") << member;
    }
    EXPECT_EQ(property(server.get(), "Listening"), "BOOL:-1");
}

TEST(WirranServer, AcceptWithoutArgumentsMakesTheListenerTheConnection) {
    AcceptedPair pair;
    EXPECT_EQ(property(pair.server.get(), "Listening"), "BOOL:0");
    EXPECT_EQ(property(pair.server.get(), "Connected"), "BOOL:-1");
    EXPECT_EQ(property(pair.server.get(), "PeerPort"), property(pair.client.get(), "LocalPort"));
    EXPECT_EQ(result(pair.server.get(), "Write", {Variant(u"ping")}), "I4:4");
    std::string text;
    EXPECT_EQ(readText(pair.client.get(), 10, &text), "I4:4");
    EXPECT_EQ(text, "ping");
    EXPECT_EQ(result(pair.client.get(), "Write", {Variant(u"pong!")}), "I4:5");
    EXPECT_EQ(readText(pair.server.get(), 10, &text), "I4:5");
    EXPECT_EQ(text, "pong!");
    // A datagram destination on a stream must be the peer's own.
    EXPECT_EQ(result(pair.server.get(), "Write",
                     {Variant(u"x"), Variant::missing(), Variant::missing(), Variant(u"10.1.2.3")}),
              "I4:-1");
    EXPECT_EQ(property(pair.server.get(), "LastError"), "I4:12005");
    EXPECT_EQ(result(pair.server.get(), "Write",
                     {Variant(u"x"), Variant::missing(), Variant::missing(), Variant(u"127.0.0.1"),
                      Variant(int32_t{1})}),
              "I4:-1");
    EXPECT_EQ(property(pair.server.get(), "LastError"), "I4:12006");
}

TEST(WirranServer, AcceptByHandleFillsAnotherControlAndKeepsListening) {
    ComPtr<CWirran> server = newControl();
    int port = listenAnywhere(server.get());
    LONG listener = number(server.get(), "Handle");
    ComPtr<CWirran> first = newControl(), second = newControl();
    ComPtr<CWirran> client1 = newControl(), client2 = newControl();
    ASSERT_EQ(connectTo(client1.get(), u"127.0.0.1", port), "I4:0");
    ASSERT_EQ(connectTo(client2.get(), u"127.0.0.1", port), "I4:0");
    ASSERT_EQ(put(first.get(), "KeepAlive", Variant(true)), S_OK);
    EXPECT_EQ(result(first.get(), "Accept", {Variant(listener)}), "I4:0");
    EXPECT_EQ(result(second.get(), "Accept", {Variant(listener)}), "I4:0");
    EXPECT_EQ(property(server.get(), "Listening"), "BOOL:-1");
    EXPECT_EQ(property(first.get(), "Connected"), "BOOL:-1");
    EXPECT_EQ(socketFlag(first.get(), SOL_SOCKET, SO_KEEPALIVE), 1) << "the option bits apply";
    EXPECT_EQ(socketFlag(second.get(), SOL_SOCKET, SO_KEEPALIVE), 0);

    // Nothing waits: the set-aside listener comes back, and the failure is the wait's.
    ASSERT_EQ(put(server.get(), "Timeout", Variant(int32_t{1})), S_OK);
    EXPECT_EQ(result(server.get(), "Accept"), "I4:10060");
    EXPECT_EQ(property(server.get(), "Handle"), "I4:" + std::to_string(listener));
    EXPECT_EQ(property(server.get(), "Listening"), "BOOL:-1");
    // A handle that is not a listening socket is refused.
    ComPtr<CWirran> third = newControl();
    EXPECT_EQ(result(third.get(), "Accept", {Variant(number(first.get(), "Handle"))}), "I4:10057");
}

TEST(WirranServer, RejectResetsTheWaitingPeerAndNeedsOneWaiting) {
    ComPtr<CWirran> server = newControl();
    int port = listenAnywhere(server.get());
    EXPECT_EQ(result(server.get(), "Reject"), "I4:10035");
    ComPtr<CWirran> client = newControl();
    ASSERT_EQ(put(client.get(), "Timeout", Variant(int32_t{5})), S_OK);
    ASSERT_EQ(connectTo(client.get(), u"127.0.0.1", port), "I4:0");
    EXPECT_EQ(result(server.get(), "Reject"), "I4:0");
    std::string text;
    EXPECT_EQ(readText(client.get(), 10, &text), "I4:-1");
    EXPECT_EQ(property(client.get(), "LastError"), "I4:10054");
    EXPECT_EQ(property(server.get(), "Listening"), "BOOL:-1");
}

TEST(WirranServer, RejectDuringABlockingAcceptIsRefusedWith10036) {
    ComPtr<CWirran> server = newControl();
    listenAnywhere(server.get());
    LONG listener = number(server.get(), "Handle");
    ComPtr<CWirran> other = newControl();
    // The wait runs messages between slices of a second: a time-out of two sees the handler.
    ASSERT_EQ(put(other.get(), "Timeout", Variant(int32_t{2})), S_OK);
    std::string nested, state;
    // The accept waits on the listener in another control; a handler run by its wait rejects.
    socket_test::TimerAction handler(50, [&] {
        state = property(server.get(), "State");
        nested = result(server.get(), "Reject");
    });
    EXPECT_EQ(result(other.get(), "Accept", {Variant(listener)}), "I4:10060");
    EXPECT_EQ(nested, "I4:10036");
    EXPECT_EQ(state, "I4:4") << "the listener shows the accept";
    EXPECT_EQ(property(server.get(), "State"), "I4:2");
}

TEST(WirranServer, AStreamBindOpensNothingAndTheNextConnectUsesItsPort) {
    ComPtr<CWirran> server = newControl();
    int port = listenAnywhere(server.get());
    ComPtr<CWirran> scratch = newControl();
    int local = listenAnywhere(scratch.get());  // a port free a moment ago
    ASSERT_EQ(result(scratch.get(), "Disconnect"), "I4:0");

    ComPtr<CWirran> client = newControl();
    EXPECT_EQ(result(client.get(), "Bind", {Variant(u""), Variant(int32_t{local}), Variant(6)}),
              "I4:0");
    EXPECT_EQ(property(client.get(), "Handle"), "I4:-1");
    EXPECT_EQ(property(client.get(), "LocalPort"), "I4:" + std::to_string(local));
    EXPECT_EQ(result(client.get(), "Bind", {Variant(u"localhost")}), "I4:12005")
        << "names are not resolved";
    EXPECT_EQ(result(client.get(), "Bind", {Variant(u""), Variant(int32_t{local}), Variant(6)}),
              "I4:0");
    ASSERT_EQ(connectTo(client.get(), u"127.0.0.1", port), "I4:0");
    EXPECT_EQ(property(client.get(), "LocalPort"), "I4:" + std::to_string(local));
}

TEST(WirranServer, ADatagramBindEchoesBothWays) {
    ComPtr<CWirran> a = newControl(), b = newControl();
    for (IDispatch* c : {static_cast<IDispatch*>(a.get()), static_cast<IDispatch*>(b.get())})
        ASSERT_EQ(put(c, "Timeout", Variant(int32_t{5})), S_OK);
    EXPECT_EQ(result(a.get(), "Bind", {Variant(u"127.0.0.1"), Variant(int32_t{0}), Variant(17)}),
              "I4:0");
    int portA = number(a.get(), "LocalPort");
    ASSERT_GT(portA, 0) << "LocalPort reads the socket's real port";
    // b takes a given port: RemotePort keeps it and LocalPort reads it back.
    ComPtr<CWirran> scratch = newControl();
    ASSERT_EQ(result(scratch.get(), "Bind", {Variant(u""), Variant(int32_t{0}), Variant(17)}),
              "I4:0");
    int portB = number(scratch.get(), "LocalPort");
    ASSERT_EQ(result(scratch.get(), "Disconnect"), "I4:0");
    EXPECT_EQ(result(b.get(), "Bind", {Variant(u""), Variant(int32_t{portB}), Variant(17)}),
              "I4:0");
    EXPECT_EQ(number(b.get(), "RemotePort"), portB);
    EXPECT_EQ(number(b.get(), "LocalPort"), portB);
    EXPECT_GT(number(b.get(), "MaxDatagram"), 0);

    auto send = [](IDispatch* from, const char16_t* text, int port) {
        return result(from, "Write",
                      {Variant(text), Variant::missing(), Variant::missing(), Variant(u"127.0.0.1"),
                       Variant(int32_t{port})});
    };
    auto receive = [](IDispatch* at, std::string* text, int* fromPort) {
        Variant buffer, address, port;
        std::string n =
            shown(call(at, "Read",
                       {Variant::byRef(&buffer), Variant(int32_t{100}), Variant::missing(),
                        Variant::byRef(&address), Variant::byRef(&port)}));
        *text = buffer.vt == VT_BSTR ? bstrToLatin1(buffer.bstrVal) : "";
        *fromPort = port.vt == VT_I4 ? port.lVal : -1;
        EXPECT_EQ(shown(address), "BSTR:127.0.0.1");
        return n;
    };
    std::string text;
    int from = 0;
    EXPECT_EQ(send(a.get(), u"one", portB), "I4:3");
    EXPECT_EQ(send(a.get(), u"two!", portB), "I4:4");
    EXPECT_EQ(receive(b.get(), &text, &from), "I4:3") << "one datagram per read";
    EXPECT_EQ(text, "one");
    EXPECT_EQ(from, portA);
    EXPECT_EQ(receive(b.get(), &text, &from), "I4:4");
    EXPECT_EQ(send(b.get(), u"back", from), "I4:4");
    EXPECT_EQ(receive(a.get(), &text, &from), "I4:4");
    EXPECT_EQ(text, "back");
    EXPECT_EQ(from, portB);
    EXPECT_EQ(result(a.get(), "Write",
                     {Variant(u"x"), Variant::missing(), Variant::missing(), Variant(u"nowhere")}),
              "I4:-1");
    EXPECT_EQ(property(a.get(), "LastError"), "I4:12005");
}

TEST(WirranServer, ShutdownWithoutArgumentStopsSendingOnly) {
    AcceptedPair pair;
    EXPECT_EQ(result(pair.client.get(), "Shutdown"), "I4:0");
    std::string text;
    EXPECT_EQ(readText(pair.server.get(), 10, &text), "I4:0") << "the server sees the end";
    EXPECT_EQ(result(pair.server.get(), "Write", {Variant(u"still")}), "I4:5");
    EXPECT_EQ(readText(pair.client.get(), 10, &text), "I4:5") << "the client still reads";
    EXPECT_EQ(text, "still");
    EXPECT_EQ(result(pair.client.get(), "Write", {Variant(u"no")}), "I4:-1");
    EXPECT_EQ(result(pair.client.get(), "Shutdown", {Variant(int32_t{3})}), "I4:10014");
    EXPECT_EQ(property(pair.client.get(), "Connected"), "BOOL:-1") << "the socket stays open";
}

TEST(WirranServer, OptionsOnAnOpenSocketTakeEffectAtOnceReuseAddressOnlyLater) {
    AcceptedPair pair;
    IDispatch* c = pair.client.get();
    EXPECT_EQ(socketFlag(c, SOL_SOCKET, SO_KEEPALIVE), 0);
    ASSERT_EQ(put(c, "KeepAlive", Variant(true)), S_OK);
    EXPECT_EQ(socketFlag(c, SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(property(c, "KeepAlive"), "BOOL:-1");
    ASSERT_EQ(put(c, "NoDelay", Variant(true)), S_OK);
    EXPECT_EQ(socketFlag(c, IPPROTO_TCP, TCP_NODELAY), 1);
    ASSERT_EQ(put(c, "InLine", Variant(true)), S_OK);
    EXPECT_EQ(socketFlag(c, SOL_SOCKET, SO_OOBINLINE), 1);
    int reuse = socketFlag(c, SOL_SOCKET, SO_REUSEADDR);
    ASSERT_EQ(put(c, "ReuseAddress", Variant(reuse == 0)), S_OK);
    EXPECT_EQ(socketFlag(c, SOL_SOCKET, SO_REUSEADDR), reuse) << "stored for the next socket";
    EXPECT_EQ(put(c, "Linger", Variant(int32_t{65536})),
              static_cast<HRESULT>(CTL_E_INVALIDPROPERTYVALUE));
    EXPECT_EQ(put(c, "Linger", Variant(int32_t{65535})), S_OK);
    EXPECT_EQ(property(c, "AtMark"), "BOOL:0");
    // Urgent data, kept out of line, waits at the server.
    ASSERT_EQ(put(pair.server.get(), "InLine", Variant(false)), S_OK);
    ASSERT_EQ(
        kvlink::networkLibrary().send(static_cast<SOCKET>(number(c, "Handle")), "!", 1, MSG_OOB),
        1);
    for (int i = 0; i < 500 && property(pair.server.get(), "IsReadable") != "BOOL:-1"; ++i)
        usleep(2000);
    EXPECT_EQ(property(pair.server.get(), "AtMark"), "BOOL:-1");
    ComPtr<CWirran> none = newControl();
    EXPECT_EQ(property(none.get(), "AtMark"), "BOOL:0");
    EXPECT_EQ(property(none.get(), "Listening"), "BOOL:0");
}

TEST(WirranServer, TheReservedPortSearchTakesTheHighestFreePort) {
    if (geteuid() != 0) GTEST_SKIP() << "binding ports below 1024 needs root";
    ComPtr<CWirran> holder = newControl();
    if (result(holder.get(), "Listen", {Variant::missing(), Variant(int32_t{1023})}) != "I4:0")
        GTEST_SKIP() << "port 1023 is taken by someone else";
    ComPtr<CWirran> server = newControl();
    ASSERT_EQ(result(server.get(), "Listen", {Variant::missing(), Variant(int32_t{1024})}), "I4:0");
    int port = number(server.get(), "LocalPort");
    EXPECT_LT(port, 1023);
    EXPECT_GE(port, 513);
    ComPtr<CWirran> probe = newControl();
    if (port != 1022) {
        EXPECT_NE(result(probe.get(), "Listen", {Variant::missing(), Variant(int32_t{1022})}),
                  "I4:0")
            << "1022 was free, yet " << port << " was taken";
    }
}
