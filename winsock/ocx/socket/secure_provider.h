#pragma once
// Where the secure channel plugs into the socket layer. The layer itself knows no TLS: a
// connect with wrOptionSecure asks the installed provider to load the security library first,
// and to run the client handshake once the TCP connection is up; the provider leaves a
// SecureSession in the record, through which send and receive then go.
//
// Until a provider is installed, every secure connect fails with
// wrErrorSecurityNotInitialized (12101) before a socket is opened.

#include <cstdint>

#include "winsock/ocx/socket/socket_record.h"

namespace kvlink {

struct ConnectRequest;
struct AcceptRequest;

struct SecureProvider {
    // load readies the security library: 0, or the error code (12101 when it cannot be used).
    uint32_t (*load)();
    // handshake runs the client handshake over the connected record (blocking, through the
    // layer's waits, with record.timeoutSeconds) and sets record.secure. Returns 0; 12104 when
    // the channel is up but the server's certificate failed the check (the connect succeeds);
    // or any other error code, after which connect closes the socket.
    uint32_t (*handshake)(SocketRecord& record, const ConnectRequest& request);
    // accept runs the server handshake over a just accepted record with server credentials
    // from the request's protocol, certificate store and name, and sets record.secure. Returns 0
    // or the error code, after which accept closes the socket. nullptr: no server side.
    uint32_t (*accept)(SocketRecord& record, const AcceptRequest& request) = nullptr;
};

// setSecureProvider installs provider (nullptr removes it); it must outlive its use.
void setSecureProvider(const SecureProvider* provider);
const SecureProvider* secureProvider();

}  // namespace kvlink
