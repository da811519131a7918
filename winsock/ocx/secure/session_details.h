#pragma once
// Internal to the secure channel: reading an OpenSSL session and certificate into the control's
// values (SecureConnectionInfo). The mapping rules are written out in connection_info.h.

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <string>

#include "winsock/ocx/secure/connection_info.h"

namespace kvsecure {

// describeSession returns the protocol, cipher, hash and key exchange of an established session
// and the names and dates of the peer's certificate (empty when it sent none). The certificate
// status is left to the caller, who verified the certificate.
SecureConnectionInfo describeSession(const SSL* ssl);

// certificateStatusFor returns the wrCertificate value for an X509 verification result.
int certificateStatusFor(long verifyResult);

// certificateSeverity ranks wrCertificate values so that, of several problems one certificate
// has, the one reported is the most fundamental: an untrusted issuer before a revocation, before
// an expiry, before a malformed certificate, before a name that does not match.
int certificateSeverity(int status);

// formatName returns the one-line Windows-like form of a name, most specific part first.
std::string formatName(const X509_NAME* name);

// formatTime returns "YYYY-MM-DD HH:MM:SS" in local time, or "" for an unreadable time.
std::string formatTime(const ASN1_TIME* time);

// The single-value mappings, by OpenSSL NID (see connection_info.h).
int protocolValue(int version);
int cipherValue(int cipherNid);
int hashValue(int digestNid);
int keyExchangeValue(int kxNid, int groupNid);

}  // namespace kvsecure
