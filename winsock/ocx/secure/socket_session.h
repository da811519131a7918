#pragma once
// The secure channel on a socket of the socket layer: the provider the control installs there
// (a secure Connect loads the TLS library and runs the client handshake through it), and the
// calls behind the control's Secure switch on an open connection and its read-only security
// members.
//
//   kvlink::setSecureProvider(&kvsecure::socketSecureProvider());   // once, by the control
//   ...
//   kvsecure::SecureConnectionInfo info;
//   if (!kvsecure::readSecureSession(handle, &info)) return SocketError();  // 10038 / 10001
//   if (info.certificateStatus != wrCertificateValid) ...
//
// The session's bytes go through the socket layer: its network-library calls (traced, counted
// in the record's totals) and its pumped wait with the record's time-out, so the thread's
// windows stay alive during a handshake or a transfer, and Cancel and Abort end its waits as
// they end any other. The handshake waits show as wrStatusConnect, later reads and writes as
// wrStatusRead and wrStatusWrite. The peer's certificate is checked against the trusted
// certificates (credentials.h) and the host name the connection was made to.

#include <cstdint>
#include <string>

#include "winsock/ocx/secure/connection_info.h"
#include "winsock/ocx/socket/secure_provider.h"

namespace kvsecure {

// socketSecureProvider returns the provider for kvlink::setSecureProvider: load is
// loadSecurity (12101), handshake acquires client credentials from the request's protocol,
// certificate store and name (12103), and runs the client handshake for the request's host
// with the record's time-out (60 s when 0); it returns 0, 12104 when the session is up but the
// certificate failed the check (the record keeps the session and its verdict), or the
// handshake's failure (10060, 12102, 10004, 10053, ...; no session is left in the record).
// accept acquires server credentials (credentials.h) from the accept request's protocol,
// certificate store and name (12103) and runs the server handshake with the record's time-out
// (60 s when 0); the session goes into the record when it succeeds.
const kvlink::SecureProvider& socketSecureProvider();

// startSecureSession runs the client handshake on the open, plain TCP connection handle, for
// the host name the connection was made to, with credentials from protocol, store and name; on
// a connection accepted by a listening socket it runs the server handshake with server
// credentials instead. An event-driven socket's notifications are held meanwhile.
// Returns 0 or 12104 as the provider's handshake does (the record then sends and receives
// through the session); otherwise the error, also in the error slot: 10038 / 10001 for a
// handle that is not the caller's, 10057 when the socket is not a connected stream, 12102 when
// it already has a secure session, or the handshake's failure (the connection stays open, as
// it is: plain bytes after a failed handshake are the caller's risk).
int startSecureSession(int32_t handle, int protocol, const std::string& store,
                       const std::string& name);

// endSecureSession ends the secure session both ways and goes on plain: close_notify is sent,
// then the peer's is awaited (its data before it dropped), all within the record's time-out (60
// s when 0); plain bytes that came right after the peer's notice are kept for the line, byte and
// stream reads. Returns 0 (also when the socket had no session), or the error, also in the slot:
// 10038 / 10001, the failure to send the notice, or 10060 when the peer's did not come (the
// session is gone all the same).
int endSecureSession(int32_t handle);

// readSecureSession copies the session details of handle into *info: all zero and empty when
// the socket has no secure session. False with 10038 / 10001 in the slot.
bool readSecureSession(int32_t handle, SecureConnectionInfo* info);

}  // namespace kvsecure
