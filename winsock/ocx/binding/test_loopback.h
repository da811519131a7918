#pragma once
// For tests: a TCP connection on 127.0.0.1 made through a binding's call wrappers, so every step
// passes the trace hooks as the socket layer's calls do.
//
//   LoopbackConnection link(kvlink::networkLibrary());
//   ASSERT_TRUE(link.open());
//   net.send(link.client, "Hello", 5, 0);

#include <gtest/gtest.h>

#include "winsock/ocx/binding/network_library.h"

class LoopbackConnection {
  public:
    explicit LoopbackConnection(kvlink::NetworkLibrary& net) : m_net(net) {}
    ~LoopbackConnection() {
        for (SOCKET s : {client, server, listener}) {
            if (s != INVALID_SOCKET) m_net.closesocket(s);
        }
    }
    LoopbackConnection(const LoopbackConnection&) = delete;
    LoopbackConnection& operator=(const LoopbackConnection&) = delete;

    // listen makes the listener on a free port; connect then connects client to it and accepts
    // server. Each returns false, with a test failure naming the error, when a call fails.
    bool listen() {
        listener = m_net.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a = address(0);
        int size = sizeof a;
        if (listener == INVALID_SOCKET || m_net.bind(listener, asAddress(&a), sizeof a) != 0 ||
            m_net.listen(listener, 5) != 0 ||
            m_net.getsockname(listener, asAddress(&a), &size) != 0) {
            ADD_FAILURE() << "listen: error " << m_net.getLastError();
            return false;
        }
        port = m_net.ntohs(a.sin_port);
        return true;
    }
    bool connect() {
        client = m_net.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a = address(port);
        if (client == INVALID_SOCKET || m_net.connect(client, asAddress(&a), sizeof a) != 0) {
            ADD_FAILURE() << "connect: error " << m_net.getLastError();
            return false;
        }
        server = m_net.accept(listener, nullptr, nullptr);
        if (server == INVALID_SOCKET) ADD_FAILURE() << "accept: error " << m_net.getLastError();
        return server != INVALID_SOCKET;
    }
    bool open() { return listen() && connect(); }

    sockaddr_in address(u_short p) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = m_net.htons(p);
        a.sin_addr.s_addr = m_net.htonl(INADDR_LOOPBACK);
        return a;
    }
    static sockaddr* asAddress(sockaddr_in* a) { return reinterpret_cast<sockaddr*>(a); }

    SOCKET listener = INVALID_SOCKET;
    SOCKET client = INVALID_SOCKET;
    SOCKET server = INVALID_SOCKET;
    u_short port = 0;

  private:
    kvlink::NetworkLibrary& m_net;
};
