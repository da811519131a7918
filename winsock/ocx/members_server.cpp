// Server and datagram members and the socket options: Listen, Accept, Reject, Bind, Shutdown,
// and the option properties.
//
// The option properties store their value; on an open socket the socket layer is to apply the
// option first (socketLayerProperty marks where). Listen, Accept and Bind start the network
// library and then need the socket layer's server side; Reject and Shutdown act on the control's
// socket and fail as a stream operation on no socket. Those parts are still to come (PENDING in
// the member list).

#include "winsock/ocx/arguments.h"
#include "winsock/ocx/base/error_table.h"
#include "winsock/ocx/wirran.h"

HRESULT CWirran::get_AtMark(VARIANT_BOOL* pVal) {
    if (hasSocket()) return socketLayerGet();  // Socket layer: the at-mark query.
    return getValue(pVal, VARIANT_BOOL{VARIANT_FALSE});
}

HRESULT CWirran::get_Listening(VARIANT_BOOL* pVal) {
    if (hasSocket()) return socketLayerGet();  // Socket layer: is the socket listening?
    return getValue(pVal, VARIANT_BOOL{VARIANT_FALSE});
}

HRESULT CWirran::put_Broadcast(VARIANT_BOOL value) {
    if (hasSocket()) return socketLayerProperty();  // Socket layer: set the option first.
    m_state.broadcast = asBool(value);
    return S_OK;
}

HRESULT CWirran::put_InLine(VARIANT_BOOL value) {
    if (hasSocket()) return socketLayerProperty();  // Socket layer: set the option first.
    m_state.inLine = asBool(value);
    return S_OK;
}

HRESULT CWirran::put_KeepAlive(VARIANT_BOOL value) {
    if (hasSocket()) return socketLayerProperty();  // Socket layer: set the option first.
    m_state.keepAlive = asBool(value);
    return S_OK;
}

HRESULT CWirran::put_NoDelay(VARIANT_BOOL value) {
    if (hasSocket()) return socketLayerProperty();  // Socket layer: set the option first.
    m_state.noDelay = asBool(value);
    return S_OK;
}

HRESULT CWirran::put_Linger(LONG value) {
    if (value < 0 || value > 65535) return CTL_E_INVALIDPROPERTYVALUE;
    m_state.linger = value;
    return S_OK;
}

HRESULT CWirran::Accept(VARIANT, VARIANT, VARIANT* Error) {
    return libraryMethod(Error, ResultKind::ErrorCode);  // Socket layer: accept.
}

HRESULT CWirran::Bind(VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT* Error) {
    return libraryMethod(Error, ResultKind::ErrorCode);  // Socket layer: bind.
}

HRESULT CWirran::Listen(VARIANT, VARIANT, VARIANT, VARIANT* Error) {
    return libraryMethod(Error, ResultKind::ErrorCode);  // Socket layer: listen.
}

HRESULT CWirran::Reject(VARIANT* Error) {
    return socketMethod(Error, ResultKind::ErrorCode);  // Socket layer: reject.
}

HRESULT CWirran::Shutdown(VARIANT, VARIANT* Error) {
    return socketMethod(Error, ResultKind::ErrorCode);  // Socket layer: shutdown.
}
