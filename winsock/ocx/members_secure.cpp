// The secure channel's members: the Secure switch, the protocol choice, the certificate
// settings, and what the channel of an open connection reports.
//
// The connection information comes from a socket's secure channel; without a socket it is 0 or
// empty. The branches that need a socket end in socketLayerGet/socketLayerProperty, where the
// secure channel's calls go.

#include "winsock/ocx/arguments.h"
#include "winsock/ocx/error_table.h"
#include "winsock/ocx/wirran.h"

HRESULT CWirran::get_CertificateExpires(BSTR* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getString(pVal, Bstr());
}

HRESULT CWirran::get_CertificateIssued(BSTR* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getString(pVal, Bstr());
}

HRESULT CWirran::get_CertificateIssuer(BSTR* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getString(pVal, Bstr());
}

HRESULT CWirran::get_CertificateSubject(BSTR* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getString(pVal, Bstr());
}

HRESULT CWirran::get_CertificateStatus(LONG* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getValue(pVal, LONG{wrCertificateNone});
}

HRESULT CWirran::get_CipherStrength(LONG* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getValue(pVal, LONG{0});
}

HRESULT CWirran::get_HashStrength(LONG* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getValue(pVal, LONG{0});
}

HRESULT CWirran::get_SecureCipher(LONG* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getValue(pVal, LONG{wrSecureCipherNone});
}

HRESULT CWirran::get_SecureHash(LONG* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getValue(pVal, LONG{wrSecureHashNone});
}

HRESULT CWirran::get_SecureKeyExchange(LONG* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getValue(pVal, LONG{wrSecureKeyExchangeNone});
}

HRESULT CWirran::get_CertificateName(BSTR* pVal) {
    return getString(pVal, m_certificateName);
}

HRESULT CWirran::put_CertificateName(BSTR value) {
    m_certificateName = Bstr(bstrView(value));
    return S_OK;
}

HRESULT CWirran::get_CertificateStore(BSTR* pVal) {
    return getString(pVal, m_certificateStore);
}

HRESULT CWirran::put_CertificateStore(BSTR value) {
    m_certificateStore = Bstr(bstrView(value));
    return S_OK;
}

HRESULT CWirran::get_Secure(VARIANT_BOOL* pVal) {
    return getValue(pVal, m_state.secure);
}

HRESULT CWirran::put_Secure(VARIANT_BOOL value) {
    // Secure channel: start or end the channel on an open connection.
    if (hasSocket()) return socketLayerProperty();
    // Without a socket the next Connect uses it.
    m_state.secure = asBool(value);
    return S_OK;
}

HRESULT CWirran::get_SecureProtocol(LONG* pVal) {
    return getValue(pVal, m_state.secureProtocol);
}

HRESULT CWirran::put_SecureProtocol(LONG value) {
    if (hasSocket()) return failProperty(wirranErrorHresult(wrErrorAlreadyConnected));
    m_state.secureProtocol = value;
    m_state.secure = toVariantBool(value != 0);
    return S_OK;
}

HRESULT CWirran::Authenticate(VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT* Error) {
    if (!Error) return E_POINTER;
    // No authentication exchange is defined for this control's connections.
    return failMethod(Error, wirranErrorHresult(wrErrorNotImplemented), ResultKind::ErrorCode);
}
