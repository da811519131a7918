#pragma once
// The server side of the socket layer: listening sockets, accepting and rejecting the
// connections that wait on them.
//
//   ListenRequest request;
//   request.port = 8080;                        // wrPortReserved: the highest free port below it
//   int32_t listener;
//   if (!listenSocket(request, &listener)) report(SocketError());
//   AcceptRequest accept;
//   int32_t connection;
//   if (!acceptSocket(listener, accept, &connection)) report(SocketError());

#include <cstdint>
#include <string>

#include "platform/user/user.h"

namespace kvlink {

struct ListenRequest {
    std::string address;   // a dotted address or a name; empty: every local address
    int32_t port = 0;      // 0: any; wrPortReserved (1024): the highest free port 1023..513
    int32_t backlog = 5;   // 0: the platform's maximum
    uint32_t options = 0;  // of the option bits only wrOptionReuseAddress acts here
    // With a window the socket is watched for accept notifications (the owner's message); without
    // one it waits in the layer's pumped wait when accepting. holdNotifications holds them from
    // the start.
    HWND notifyWindow = nullptr;
    UINT notifyMessage = 0;
    bool holdNotifications = false;
};

// The lowest port the reserved-port search tries.
constexpr int32_t kLowestReservedPort = 513;

// listenSocket creates a listening TCP socket (status wrStatusListen) and enters it in the socket
// table. Returns true with *handle; false with the error in the error slot and nothing left
// open: wrErrorInvalidHostName (11001) for an address that does not resolve;
// wrErrorInvalidServicePort (12006) for a port outside 0..65535; wrErrorInvalidParameter (10014)
// for a window that is not one; for the reserved-port search, the error of the last port tried
// when every one was taken (10048, 10049), or the first other error (10013 without the right to
// bind below 1024); the network library's error otherwise.
bool listenSocket(const ListenRequest& request, int32_t* handle);

struct AcceptRequest {
    int32_t timeout = 0;   // seconds, or milliseconds from 1001 on; 0: no limit
    uint32_t options = 0;  // don't-route, keep-alive, no-delay, in-line set to their bits; secure
    // The accepted socket's watch: eventDriven watches it for everything, otherwise a window
    // hears only the codes above write (transfer progress). holdNotifications as for listen.
    HWND notifyWindow = nullptr;
    UINT notifyMessage = 0;
    bool eventDriven = false;
    bool holdNotifications = false;
    // wrOptionSecure: the protocols offered and the server certificate by store and name.
    int32_t secureProtocol = 0;
    std::string certificateStore;
    std::string certificateName;
};

// acceptSocket accepts one connection waiting on the listening socket listener: a listener
// without a watch waits for it (status wrStatusAccept) with the request's time-out, a watched
// one takes what is there. The new connected socket belongs to the calling thread; the
// listener's next accept notification is let through. With wrOptionSecure the server handshake
// runs before the new socket is watched. False with the error in the slot: 10038 / 10001 for
// listener; wrErrorNotConnected (10057) for a socket that does not
// listen; wrErrorOperationWouldBlock (10035) when a watched listener has nothing waiting; the
// wait's failures (10060, 10004, 10036); 12101 without the security library and the server
// handshake's failures (12103 credentials, 12102, 10060; the connection is closed); the watch's
// or the network library's errors. The listener stays as it was on every failure.
bool acceptSocket(int32_t listener, const AcceptRequest& request, int32_t* handle);

// rejectSocket refuses the connection waiting on listener: it is accepted and closed at once
// with a reset. False with the error in the slot: 10038 / 10001; 10057 for a socket that does
// not listen; wrErrorOperationInProgress (10036) while a call waits on it;
// wrErrorOperationWouldBlock (10035) when no connection waits.
bool rejectSocket(int32_t listener);

// socketListening: 1 when handle is a listening socket, 0 when not, -1 with 10038 / 10001.
int socketListening(int32_t handle);

}  // namespace kvlink
