#pragma once
// Connect: open a socket to a remote host and enter it in the socket table.
//
//   ConnectRequest request;
//   request.host = "127.0.0.1";
//   request.remotePort = 8080;
//   request.timeout = 4;
//   int32_t handle;
//   if (!connectSocket(request, &handle)) report(SocketError());

#include <cstdint>
#include <string>

#include "platform/user/user.h"

namespace kvlink {

struct ConnectRequest {
    std::string host;           // a dotted address or a name, in bytes (ISO-8859-1)
    int32_t remotePort = 0;     // 1..65535 for TCP
    int32_t protocol = 6;       // 6 TCP, 17 UDP; 0 means TCP
    int32_t timeout = 0;        // seconds, or milliseconds from 1001 on; 0: 60 s for connecting
    uint32_t options = 0;       // kOption bits
    uint32_t localAddress = 0;  // network byte order; 0: any
    int32_t localPort = 0;      // 0: any
    // Event-driven mode: the window and message that receive the socket's notifications. Left
    // empty, the connect blocks in the layer's pumped wait until it completes.
    HWND notifyWindow = nullptr;
    UINT notifyMessage = 0;
    // A secure connect (wrOptionSecure): the wrSecureProtocol bits offered (0: the default) and
    // the certificate this side presents, by store and name (UTF-8; empty: none).
    int32_t secureProtocol = 0;
    std::string certificateStore;
    std::string certificateName;
};

// The time a blocking connect waits when the request's time-out is 0.
constexpr int32_t kDefaultConnectSeconds = 60;

// connectSocket resolves the host, creates the socket and its record (owned by the calling
// thread), binds it when a local address or port is given (always for UDP), and for TCP
// connects, waiting in PumpedSelect with the time-out. Returns true with *handle; false with the
// error in the error slot and no socket left open:
//  - wrErrorInvalidHostName (11001) for an empty or unresolvable host;
//  - wrErrorInvalidServicePort (12006) for a port outside 0..65535, or remote port 0 on TCP;
//  - wrErrorInvalidHostAddress (12005) for 0.0.0.0 or 255.255.255.255 on TCP;
//  - wrErrorInvalidParameter (10014) for a notification window that is not one, or a message
//    below WM_USER;
//  - wrErrorSecurityNotInitialized (12101) for a secure connect without the security library;
//  - for a secure TCP connect, the installed provider's handshake failures (secure_provider.h);
//    its 12104 (a certificate that failed the check) is left in the slot of a connect that
//    succeeds;
//  - wrErrorNotImplemented (12003) for event-driven mode, which the layer cannot watch yet;
//  - wrErrorConnectionRefused (10061) or the socket's own error when the peer refuses;
//  - wrErrorOperationTimeout (10060) when the connect does not complete in time;
//  - the wait's failures (10036 nested, 10004 cancelled, 10053 aborted);
//  - the network library's error for anything else.
bool connectSocket(const ConnectRequest& request, int32_t* handle);

}  // namespace kvlink
