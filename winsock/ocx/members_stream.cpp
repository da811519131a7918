// Blocking stream members: connect, read, write, close, cancel, abort, and the socket's state.
//
// The socket layer behind them is not part of this control yet, so it never has a socket: each
// member answers what a control without a socket answers (FALSE, 0, an empty state, or the
// failure of a stream operation on no socket, which reports 10057 for TCP), and the branch that
// needs a socket ends in socketMethod/socketLayerProperty, where the socket layer's calls go.

#include "winsock/ocx/arguments.h"
#include "winsock/ocx/error_table.h"
#include "winsock/ocx/wirran.h"

HRESULT CWirran::get_Blocking(VARIANT_BOOL* pVal) {
    return getValue(pVal, m_state.blocking);
}

HRESULT CWirran::put_Blocking(VARIANT_BOOL value) {
    // Socket layer: switch an open socket between blocking and event-driven mode here.
    if (hasSocket()) return socketLayerProperty();
    m_state.blocking = asBool(value);
    return S_OK;
}

HRESULT CWirran::get_Timeout(LONG* pVal) {
    // Socket layer: an open socket's record holds the time-out in use.
    if (hasSocket()) return socketLayerGet();
    return getValue(pVal, m_state.timeout);
}

HRESULT CWirran::put_Timeout(LONG value) {
    // Socket layer: store the time-out in the open socket's record as well.
    if (hasSocket()) return socketLayerProperty();
    m_state.timeout = value;
    return S_OK;
}

HRESULT CWirran::get_Connected(VARIANT_BOOL* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getValue(pVal, VARIANT_BOOL{VARIANT_FALSE});
}

HRESULT CWirran::get_IsBlocked(VARIANT_BOOL* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getValue(pVal, VARIANT_BOOL{VARIANT_FALSE});
}

HRESULT CWirran::get_IsClosed(VARIANT_BOOL* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getValue(pVal, VARIANT_BOOL{VARIANT_FALSE});
}

HRESULT CWirran::get_IsReadable(VARIANT_BOOL* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getValue(pVal, VARIANT_BOOL{VARIANT_FALSE});
}

HRESULT CWirran::get_IsWritable(VARIANT_BOOL* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getValue(pVal, VARIANT_BOOL{VARIANT_FALSE});
}

HRESULT CWirran::get_State(LONG* pVal) {
    if (hasSocket()) return socketLayerGet();
    return getValue(pVal, LONG{wrStatusUnused});
}

HRESULT CWirran::Connect(VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT,
                         VARIANT* Error) {
    // Socket layer: convert the arguments, disconnect, connect, store the values used.
    return libraryMethod(Error, ResultKind::ErrorCode);
}

HRESULT CWirran::Disconnect(VARIANT* Error) {
    if (!Error) return E_POINTER;
    // Socket layer: close the open socket with the Linger time; the result is 0 either way.
    closeSocket();
    setLongResult(Error, 0);
    return S_OK;
}

HRESULT CWirran::Read(VARIANT*, VARIANT, VARIANT, VARIANT*, VARIANT*, VARIANT* Result) {
    return socketMethod(Result, ResultKind::Count);  // Socket layer: receive.
}

HRESULT CWirran::ReadEx(VARIANT* Buffer, VARIANT Length, VARIANT Options, VARIANT* RemoteAddress,
                        VARIANT* RemotePort, VARIANT* Result) {
    return Read(Buffer, Length, Options, RemoteAddress, RemotePort, Result);
}

HRESULT CWirran::Peek(VARIANT*, VARIANT, VARIANT* Result) {
    return socketMethod(Result, ResultKind::Count);  // Socket layer: peek.
}

HRESULT CWirran::Write(VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT* Result) {
    return socketMethod(Result, ResultKind::Count);  // Socket layer: send.
}

HRESULT CWirran::WriteEx(VARIANT Buffer, VARIANT Length, VARIANT Options, VARIANT RemoteAddress,
                         VARIANT RemotePort, VARIANT* Result) {
    return Write(Buffer, Length, Options, RemoteAddress, RemotePort, Result);
}

HRESULT CWirran::Flush(VARIANT* Error) {
    return socketMethod(Error, ResultKind::ErrorCode);  // Socket layer: discard pending input.
}

HRESULT CWirran::Cancel(VARIANT* Error) {
    if (!Error) return E_POINTER;
    // Before the library starts there is nothing that could be waiting.
    if (!m_initialized) {
        setLongResult(Error, 0);
        return S_OK;
    }
    // Socket layer: cancel the socket's wait, or the wait in progress on this thread. With no
    // socket layer no wait can be in progress.
    if (!hasSocket())
        return failMethod(Error, wirranErrorHresult(wrErrorOperationNotBlocking),
                          ResultKind::ErrorCode);
    return socketLayerMethod(Error, ResultKind::ErrorCode);
}

HRESULT CWirran::Abort(VARIANT* Error) {
    return socketMethod(Error, ResultKind::ErrorCode);  // Socket layer: abort.
}
