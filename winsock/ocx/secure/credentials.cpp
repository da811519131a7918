#include "winsock/ocx/secure/credentials.h"

#include <openssl/crypto.h>

#include <mutex>

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/secure/cert_store.h"
#include "winsock/ocx/secure/openssl_util.h"

namespace kvsecure {
namespace {

SecureStatus failed(SecureStatus status) {
    SetSocketError(static_cast<uint32_t>(status.code));
    return status;
}

// The TLS family bit is the only one OpenSSL 3 can honour; say what the others would have been.
SecureStatus checkProtocols(int protocol) {
    if (protocol & wrSecureProtocolTLS1) return {};
    std::string refused;
    if (protocol & wrSecureProtocolSSL2) refused += "SSL 2.0 does not exist in OpenSSL 3; ";
    if (protocol & wrSecureProtocolSSL3) refused += "SSL 3.0 is broken and never offered; ";
    if (protocol & wrSecureProtocolPCT1) refused += "PCT 1.0 does not exist in OpenSSL 3; ";
    return {wrErrorSecurityCredentials, "no protocol in the selection " + std::to_string(protocol) +
                                            " can be offered: " + refused + "only TLS (8) can"};
}

SecureStatus useIdentity(SSL_CTX* context, const std::string& store, const std::string& name,
                         std::string& subject) {
    if (store.empty()) {
        return {wrErrorSecurityCredentials,
                "certificate \"" + name + "\" asked for without a store"};
    }
    StoreIdentity identity;
    SecureStatus found = findIdentity(store, name, identity);
    if (!found.ok()) return found;
    if (SSL_CTX_use_certificate(context, identity.certificate.get()) != 1 ||
        SSL_CTX_use_PrivateKey(context, identity.key.get()) != 1) {
        return takeOpenSslError(wrErrorSecurityCredentials,
                                "cannot use the certificate of " + identity.file);
    }
    for (const X509Ptr& link : identity.chain) {
        if (SSL_CTX_add1_chain_cert(context, link.get()) != 1) {
            return takeOpenSslError(wrErrorSecurityCredentials,
                                    "cannot use the chain of " + identity.file);
        }
    }
    subject = identity.subject;
    return {};
}

}  // namespace

int loadSecurity() {
    static std::once_flag once;
    static int result = wrErrorSecurityNotInitialized;
    std::call_once(once, [] {
        bool loaded =
            OpenSSL_version_num() >= 0x30000000L &&
            OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS,
                             nullptr) == 1;
        result = loaded ? 0 : int{wrErrorSecurityNotInitialized};
    });
    if (result != 0) SetSocketError(static_cast<uint32_t>(result));
    return result;
}

SecureCredentials::SecureCredentials(SecureRole role, ssl_ctx_st* context, int protocols)
    : m_role(role), m_context(context), m_protocols(protocols) {}

SecureCredentials::~SecureCredentials() {
    SSL_CTX_free(m_context);
}

namespace {

// The start both sides share: OpenSSL present, the protocols offered, a context of the side's
// method with at least TLS 1.0 (or what the system configuration demands) and no renegotiation
// (a peer could otherwise start a handshake in the middle of a send; refusing it keeps every
// send a pure encryption).
SecureStatus newContext(int protocol, const SSL_METHOD* method, SslCtxPtr& context) {
    if (loadSecurity() != 0)
        return failed({wrErrorSecurityNotInitialized, "OpenSSL 3 is not available"});
    if (protocol == 0) protocol = wrSecureProtocolDefault;
    if (SecureStatus offered = checkProtocols(protocol); !offered.ok()) return failed(offered);
    clearOpenSslErrors();
    context.reset(SSL_CTX_new(method));
    if (!context)
        return failed(takeOpenSslError(wrErrorSecurityCredentials, "cannot make a TLS context"));
    if (SSL_CTX_get_min_proto_version(context.get()) < TLS1_VERSION) {
        SSL_CTX_set_min_proto_version(context.get(), TLS1_VERSION);
    }
    SSL_CTX_set_options(context.get(), SSL_OP_NO_RENEGOTIATION);
    return {};
}

}  // namespace

SecureStatus acquireClientCredentials(int protocol, const std::string& store,
                                      const std::string& name,
                                      std::shared_ptr<SecureCredentials>& credentials) {
    credentials.reset();
    SslCtxPtr context;
    if (SecureStatus made = newContext(protocol, TLS_client_method(), context); !made.ok())
        return made;
    if (SSL_CTX_set_default_verify_paths(context.get()) != 1) {
        return failed(
            takeOpenSslError(wrErrorSecurityCredentials, "cannot open the trusted certificates"));
    }
    std::string subject;
    if (!name.empty()) {
        if (SecureStatus used = useIdentity(context.get(), storePath(store), name, subject);
            !used.ok()) {
            return failed(used);
        }
    }
    credentials.reset(
        new SecureCredentials(SecureRole::Client, context.release(), wrSecureProtocolTLS1));
    credentials->m_subject = subject;
    return {};
}

SecureStatus acquireServerCredentials(int protocol, const std::string& store,
                                      const std::string& name,
                                      std::shared_ptr<SecureCredentials>& credentials) {
    credentials.reset();
    SslCtxPtr context;
    if (SecureStatus made = newContext(protocol, TLS_server_method(), context); !made.ok())
        return made;
    std::string subject;
    if (SecureStatus used = useIdentity(context.get(), storePath(store), name, subject);
        !used.ok()) {
        return failed(used);
    }
    credentials.reset(
        new SecureCredentials(SecureRole::Server, context.release(), wrSecureProtocolTLS1));
    credentials->m_subject = subject;
    return {};
}

}  // namespace kvsecure
