#pragma once
// Loading the TLS library once per process, and the credentials a secure connection is made
// with: the protocol versions offered, the certificates trusted, and the certificate (if any)
// this side presents.
//
//   if (int error = kvsecure::loadSecurity()) return error;           // 12101
//   std::shared_ptr<kvsecure::SecureCredentials> credentials;
//   kvsecure::SecureStatus s =
//       kvsecure::acquireClientCredentials(protocol, store, name, credentials);
//   if (!s.ok()) return s.code;                                        // 12103, s.message says why
//
// Protocol selection (the wrSecureProtocol bits; 0 means wrSecureProtocolDefault, 10):
// - wrSecureProtocolTLS1 (8) stands for the TLS family: TLS 1.2 and 1.3 always, and TLS 1.0 and
//   1.1 only where the system's OpenSSL configuration and security level still allow them (the
//   minimum set there is never lowered).
// - wrSecureProtocolSSL2 (1) and wrSecureProtocolPCT1 (4) do not exist in OpenSSL 3;
//   wrSecureProtocolSSL3 (2) is broken and never offered. A selection with one of them beside
//   TLS1 simply gets TLS; a selection without TLS1 offers nothing and fails with 12103.
//
// Trusted certificates: OpenSSL's default verify locations, so the standard SSL_CERT_FILE and
// SSL_CERT_DIR variables (read when credentials are acquired) replace the system's CA store.
//
// Certificate store and name: the store is a PEM file, a PKCS#12 file (.p12/.pfx, or any file
// that parses as one; no password or the empty one) or a folder whose files are all read (not
// its subfolders). A store that is a plain name (no '/', and no such file or folder here) names
// a folder of the user's certificate stores, $XDG_DATA_HOME/Kestrine/certs/NAME
// (~/.local/share when XDG_DATA_HOME is unset); an empty store is the store "MY". The name picks
// the first certificate, in file-name order, whose one-line subject ("CN=..., O=..., C=...", see
// connection_info.h) contains it, case-insensitively, and whose private key is in the same store;
// other certificates of the same file go along as its chain. Without a name no certificate is
// presented and the store is not opened. Encrypted PEM keys cannot be used (there is no password to
// give).

#include <memory>
#include <string>

#include "winsock/ocx/secure/secure_status.h"

struct ssl_ctx_st;  // OpenSSL's SSL_CTX

namespace kvsecure {

// loadSecurity initialises OpenSSL once per process (later calls give the first result).
// Returns 0, or wrErrorSecurityNotInitialized (12101) when the library cannot be initialised or is
// older than OpenSSL 3; the error slot is set then.
int loadSecurity();

enum class SecureRole { Client, Server };

// Credentials for any number of connections of one role; shared by the connections made with
// them and released with the last one.
class SecureCredentials {
  public:
    ~SecureCredentials();
    SecureCredentials(const SecureCredentials&) = delete;
    SecureCredentials& operator=(const SecureCredentials&) = delete;

    SecureRole role() const { return m_role; }
    // The wrSecureProtocol bits that are really offered (wrSecureProtocolTLS1).
    int protocols() const { return m_protocols; }
    // The one-line subject of the certificate presented, "" when none.
    const std::string& certificateSubject() const { return m_subject; }
    // The OpenSSL context connections are made from.
    ssl_ctx_st* context() const { return m_context; }

  private:
    friend SecureStatus acquireClientCredentials(int, const std::string&, const std::string&,
                                                 std::shared_ptr<SecureCredentials>&);
    friend SecureStatus acquireServerCredentials(int, const std::string&, const std::string&,
                                                 std::shared_ptr<SecureCredentials>&);
    SecureCredentials(SecureRole role, ssl_ctx_st* context, int protocols);

    SecureRole m_role;
    ssl_ctx_st* m_context;
    int m_protocols;
    std::string m_subject;
};

// acquireClientCredentials makes client credentials for protocol with the certificate of store
// and name (both may be empty) and stores them in credentials. Returns a status whose code is 0,
// wrErrorSecurityNotInitialized (12101) when the library is not loaded, or
// wrErrorSecurityCredentials (12103) when nothing in protocol can be offered, the store cannot be
// read, no certificate matches the name, its private key is missing or does not fit it; the error
// slot is set on failure.
SecureStatus acquireClientCredentials(int protocol, const std::string& store,
                                      const std::string& name,
                                      std::shared_ptr<SecureCredentials>& credentials);

// acquireServerCredentials makes server credentials: the certificate of store and name is the
// one this side presents, so it is required; an empty name takes the first certificate whose
// private key is in the store (in a file of a certificate and its chain, the certificate itself).
// The client is not asked for a certificate. Returns as acquireClientCredentials (12103 also
// when the store has no usable certificate).
SecureStatus acquireServerCredentials(int protocol, const std::string& store,
                                      const std::string& name,
                                      std::shared_ptr<SecureCredentials>& credentials);

}  // namespace kvsecure
