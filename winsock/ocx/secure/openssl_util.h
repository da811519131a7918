#pragma once
// Internal to the secure channel: owning pointers for OpenSSL objects and the one translator
// from OpenSSL's error queue to the control's error codes.

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

#include "winsock/ocx/secure/secure_status.h"

namespace kvsecure {

template <auto FreeFunction>
struct OpenSslFree {
    template <typename T>
    void operator()(T* p) const {
        FreeFunction(p);
    }
};

using BioPtr = std::unique_ptr<BIO, OpenSslFree<BIO_free_all>>;
using X509Ptr = std::unique_ptr<X509, OpenSslFree<X509_free>>;
using KeyPtr = std::unique_ptr<EVP_PKEY, OpenSslFree<EVP_PKEY_free>>;
using Pkcs12Ptr = std::unique_ptr<PKCS12, OpenSslFree<PKCS12_free>>;
using SslCtxPtr = std::unique_ptr<SSL_CTX, OpenSslFree<SSL_CTX_free>>;
using SslPtr = std::unique_ptr<SSL, OpenSslFree<SSL_free>>;
using StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, OpenSslFree<X509_STORE_CTX_free>>;

// takeOpenSslError drains this thread's OpenSSL error queue and returns a status with code and
// the text "activity: reason; reason" (the reasons OpenSSL queued, or "no detail" when none).
// Every failure that comes out of an OpenSSL call goes through here, so the queue never carries
// stale errors into the next call.
SecureStatus takeOpenSslError(int code, const std::string& activity);

// clearOpenSslErrors empties this thread's error queue before a call whose failure is read with
// SSL_get_error, which looks at the queue.
void clearOpenSslErrors();

}  // namespace kvsecure
