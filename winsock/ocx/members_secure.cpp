// The secure channel's members: the Secure switch, the protocol choice, the certificate
// settings, and what the channel of an open connection reports.
//
// The connection information comes from the socket's secure session; without a socket, or on a
// plain connection, it is 0 or empty. How the negotiated session maps onto the wrSecureCipher,
// wrSecureHash and wrSecureKeyExchange values is written out in secure/connection_info.h: in
// short, TLS 1.3 suites name no key exchange and no record MAC, so the negotiated group stands
// for the exchange (X25519 and the curves ECDH, the ffdhe groups DH) and the handshake digest
// for the hash (TLS_AES_256_GCM_SHA384: SHA, 384 bits); ChaCha20 has no value and shows as
// wrSecureCipherUnknown. Texts are UTF-8 in the session and UTF-16 here.

#include "winsock/ocx/arguments.h"
#include "winsock/ocx/base/error_table.h"
#include "winsock/ocx/secure/connection_info.h"
#include "winsock/ocx/secure/socket_session.h"
#include "winsock/ocx/wirran.h"

HRESULT CWirran::secureInfo(kvsecure::SecureConnectionInfo* info) {
    if (HRESULT hr = designModeGet(); FAILED(hr)) return hr;
    if (hasSocket() && !kvsecure::readSecureSession(m_socket, info)) return failProperty(0);
    return S_OK;
}

HRESULT CWirran::secureNumber(LONG* pVal, int kvsecure::SecureConnectionInfo::*field) {
    kvsecure::SecureConnectionInfo info;
    if (HRESULT hr = secureInfo(&info); FAILED(hr)) return hr;
    return getValue(pVal, LONG{info.*field});
}

HRESULT CWirran::secureText(BSTR* pVal, std::string kvsecure::SecureConnectionInfo::*field) {
    kvsecure::SecureConnectionInfo info;
    if (HRESULT hr = secureInfo(&info); FAILED(hr)) return hr;
    return getString(pVal, Bstr::fromUtf8(info.*field));
}

HRESULT CWirran::get_CertificateExpires(BSTR* pVal) {
    return secureText(pVal, &kvsecure::SecureConnectionInfo::expires);
}

HRESULT CWirran::get_CertificateIssued(BSTR* pVal) {
    return secureText(pVal, &kvsecure::SecureConnectionInfo::issued);
}

HRESULT CWirran::get_CertificateIssuer(BSTR* pVal) {
    return secureText(pVal, &kvsecure::SecureConnectionInfo::issuer);
}

HRESULT CWirran::get_CertificateSubject(BSTR* pVal) {
    return secureText(pVal, &kvsecure::SecureConnectionInfo::subject);
}

HRESULT CWirran::get_CertificateStatus(LONG* pVal) {
    return secureNumber(pVal, &kvsecure::SecureConnectionInfo::certificateStatus);
}

HRESULT CWirran::get_CipherStrength(LONG* pVal) {
    return secureNumber(pVal, &kvsecure::SecureConnectionInfo::cipherStrength);
}

HRESULT CWirran::get_HashStrength(LONG* pVal) {
    return secureNumber(pVal, &kvsecure::SecureConnectionInfo::hashStrength);
}

HRESULT CWirran::get_SecureCipher(LONG* pVal) {
    return secureNumber(pVal, &kvsecure::SecureConnectionInfo::cipher);
}

HRESULT CWirran::get_SecureHash(LONG* pVal) {
    return secureNumber(pVal, &kvsecure::SecureConnectionInfo::hash);
}

HRESULT CWirran::get_SecureKeyExchange(LONG* pVal) {
    return secureNumber(pVal, &kvsecure::SecureConnectionInfo::keyExchange);
}

HRESULT CWirran::put_Secure(VARIANT_BOOL value) {
    const VARIANT_BOOL wanted = asBool(value);
    // Without a socket, or with the value it has, it is only stored: the next Connect uses it.
    if (!hasSocket() || wanted == m_state.secure) {
        m_state.secure = wanted;
        return S_OK;
    }
    // On an open connection the channel starts or ends at once. A certificate that fails the
    // check leaves the channel up, as on Connect; CertificateStatus tells.
    if (wanted) {
        int error = kvsecure::startSecureSession(
            m_socket, m_state.secureProtocol, m_certificateStore.utf8(), m_certificateName.utf8());
        if (error != 0 && error != wrErrorSecurityCertificate) {
            // An Abort during the handshake closed the socket.
            if (error == wrErrorConnectionAborted) m_socket = wrInvalidSocket;
            return failProperty(wirranErrorHresult(static_cast<uint32_t>(error)));
        }
        m_state.secure = VARIANT_TRUE;
        return S_OK;
    }
    // The channel ends both ways (ours and the peer's close_notify, within Timeout) before
    // plain data flows. It is gone even when that failed; the failure is raised.
    m_state.secure = VARIANT_FALSE;
    if (int error = kvsecure::endSecureSession(m_socket))
        return failProperty(wirranErrorHresult(static_cast<uint32_t>(error)));
    return S_OK;
}

HRESULT CWirran::put_SecureProtocol(LONG value) {
    if (hasSocket()) return failProperty(wirranErrorHresult(wrErrorAlreadyConnected));
    m_state.secureProtocol = value;
    m_state.secure = toVariantBool(value != 0);
    return S_OK;
}

HRESULT CWirran::Authenticate(VARIANT UserName, VARIANT Password, VARIANT CertificateStore,
                              VARIANT CertificateName, VARIANT Options, VARIANT* Error) {
    if (!Error) return E_POINTER;
    // TLS has no user name or password: they are taken (and checked as text) and play no part.
    // The certificate store and name become the credentials of the secure connection to come:
    // the certificate a client presents or a server shows.
    Bstr user, password, store, name;
    LONG options = 0;
    HRESULT hr = optionalString(UserName, nullptr, &user);
    if (SUCCEEDED(hr)) hr = optionalString(Password, nullptr, &password);
    if (SUCCEEDED(hr)) hr = optionalString(CertificateStore, m_certificateStore.get(), &store);
    if (SUCCEEDED(hr)) hr = optionalString(CertificateName, m_certificateName.get(), &name);
    if (SUCCEEDED(hr)) hr = optionalLong(Options, 0, &options);
    if (FAILED(hr)) return hr;
    // A connection whose secure session is up has its credentials already.
    kvsecure::SecureConnectionInfo info;
    if (hasSocket() && kvsecure::readSecureSession(m_socket, &info) && info.protocol != 0) {
        return failMethod(Error, wirranErrorHresult(wrErrorAlreadyAuthenticated),
                          ResultKind::ErrorCode);
    }
    m_certificateStore = std::move(store);
    m_certificateName = std::move(name);
    setLongResult(Error, 0);
    return S_OK;
}
