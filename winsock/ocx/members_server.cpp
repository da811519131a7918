// Server and datagram members and the socket options: Listen, Accept, Reject, Bind, Shutdown,
// and the option properties.
//
// The option properties store their value; on an open socket the socket layer applies the
// option first (socketLayerProperty marks where). Listen, Accept and Bind start the network
// library first (which fails honestly until the binding exists) and then need the socket layer;
// Reject and Shutdown act on the control's socket and fail as a stream operation on no socket.

#include "winsock/ocx/arguments.h"
#include "winsock/ocx/error_table.h"
#include "winsock/ocx/wirran.h"

HRESULT CWirran::get_AtMark(VARIANT_BOOL* pVal) {
    if (hasSocket()) return socketLayerGet();  // Socket layer: the at-mark query.
    return getValue(pVal, VARIANT_BOOL{VARIANT_FALSE});
}

HRESULT CWirran::get_Listening(VARIANT_BOOL* pVal) {
    if (hasSocket()) return socketLayerGet();  // Socket layer: is the socket listening?
    return getValue(pVal, VARIANT_BOOL{VARIANT_FALSE});
}

HRESULT CWirran::get_Backlog(LONG* pVal) {
    return getValue(pVal, m_state.backlog);
}

HRESULT CWirran::put_Backlog(LONG value) {
    m_state.backlog = value;
    return S_OK;
}

HRESULT CWirran::get_Broadcast(VARIANT_BOOL* pVal) {
    return getValue(pVal, m_state.broadcast);
}

HRESULT CWirran::put_Broadcast(VARIANT_BOOL value) {
    if (hasSocket()) return socketLayerProperty();  // Socket layer: set the option first.
    m_state.broadcast = asBool(value);
    return S_OK;
}

HRESULT CWirran::get_InLine(VARIANT_BOOL* pVal) {
    return getValue(pVal, m_state.inLine);
}

HRESULT CWirran::put_InLine(VARIANT_BOOL value) {
    if (hasSocket()) return socketLayerProperty();  // Socket layer: set the option first.
    m_state.inLine = asBool(value);
    return S_OK;
}

HRESULT CWirran::get_KeepAlive(VARIANT_BOOL* pVal) {
    return getValue(pVal, m_state.keepAlive);
}

HRESULT CWirran::put_KeepAlive(VARIANT_BOOL value) {
    if (hasSocket()) return socketLayerProperty();  // Socket layer: set the option first.
    m_state.keepAlive = asBool(value);
    return S_OK;
}

HRESULT CWirran::get_NoDelay(VARIANT_BOOL* pVal) {
    return getValue(pVal, m_state.noDelay);
}

HRESULT CWirran::put_NoDelay(VARIANT_BOOL value) {
    if (hasSocket()) return socketLayerProperty();  // Socket layer: set the option first.
    m_state.noDelay = asBool(value);
    return S_OK;
}

HRESULT CWirran::get_Linger(LONG* pVal) {
    return getValue(pVal, m_state.linger);
}

HRESULT CWirran::put_Linger(LONG value) {
    if (value < 0 || value > 65535) return CTL_E_INVALIDPROPERTYVALUE;
    m_state.linger = value;
    return S_OK;
}

HRESULT CWirran::get_Protocol(LONG* pVal) {
    return getValue(pVal, m_state.protocol);
}

HRESULT CWirran::put_Protocol(LONG value) {
    m_state.protocol = value;
    return S_OK;
}

HRESULT CWirran::get_ReservedPort(VARIANT_BOOL* pVal) {
    return getValue(pVal, m_state.reservedPort);
}

HRESULT CWirran::put_ReservedPort(VARIANT_BOOL value) {
    m_state.reservedPort = asBool(value);
    return S_OK;
}

HRESULT CWirran::get_ReuseAddress(VARIANT_BOOL* pVal) {
    return getValue(pVal, m_state.reuseAddress);
}

HRESULT CWirran::put_ReuseAddress(VARIANT_BOOL value) {
    m_state.reuseAddress = asBool(value);
    return S_OK;
}

HRESULT CWirran::get_Route(VARIANT_BOOL* pVal) {
    return getValue(pVal, m_state.route);
}

HRESULT CWirran::put_Route(VARIANT_BOOL value) {
    m_state.route = asBool(value);
    return S_OK;
}

HRESULT CWirran::get_Urgent(VARIANT_BOOL* pVal) {
    return getValue(pVal, m_state.urgent);
}

HRESULT CWirran::put_Urgent(VARIANT_BOOL value) {
    m_state.urgent = asBool(value);
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
