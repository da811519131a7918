// Line, byte and stream transfers over the control's TCP connection, and the byte order of
// integer buffers.
//
// Each needs the socket layer's stream buffer on an open socket. Without a socket they fail as
// a stream operation on no socket does (10057 for TCP); the branch with a socket ends in
// socketLayerMethod, where the socket layer's transfer goes.

#include "winsock/ocx/error_table.h"
#include "winsock/ocx/wirran.h"

namespace {

constexpr uint32_t kNoSuchSocket = wirranErrorHresult(wrErrorInvalidHandle);

}  // namespace

HRESULT CWirran::get_ByteOrder(LONG* pVal) {
    return getValue(pVal, m_state.byteOrder);
}

HRESULT CWirran::put_ByteOrder(LONG value) {
    m_state.byteOrder = value;
    return S_OK;
}

HRESULT CWirran::ReadByte(VARIANT* Result) {
    if (!Result) return E_POINTER;
    if (!hasSocket()) return failMethod(Result, kNoSuchSocket, ResultKind::Count);
    return socketLayerMethod(Result, ResultKind::Count);
}

HRESULT CWirran::WriteByte(VARIANT, VARIANT* Result) {
    if (!Result) return E_POINTER;
    if (!hasSocket()) return failMethod(Result, kNoSuchSocket, ResultKind::Flag);
    return socketLayerMethod(Result, ResultKind::Flag);
}

HRESULT CWirran::ReadLine(VARIANT*, VARIANT, VARIANT* Result) {
    if (!Result) return E_POINTER;
    if (!hasSocket()) return failMethod(Result, kNoSuchSocket, ResultKind::Flag);
    return socketLayerMethod(Result, ResultKind::Flag);
}

HRESULT CWirran::WriteLine(VARIANT, VARIANT* Result) {
    if (!Result) return E_POINTER;
    if (!hasSocket()) return failMethod(Result, kNoSuchSocket, ResultKind::Flag);
    return socketLayerMethod(Result, ResultKind::Flag);
}

HRESULT CWirran::ReadStream(VARIANT*, VARIANT*, VARIANT, VARIANT, VARIANT* Result) {
    if (!Result) return E_POINTER;
    if (!hasSocket()) return failMethod(Result, kNoSuchSocket, ResultKind::Flag);
    return socketLayerMethod(Result, ResultKind::Flag);
}

HRESULT CWirran::StoreStream(VARIANT, VARIANT*, VARIANT, VARIANT, VARIANT* Result) {
    if (!Result) return E_POINTER;
    if (!hasSocket()) return failMethod(Result, kNoSuchSocket, ResultKind::Flag);
    return socketLayerMethod(Result, ResultKind::Flag);
}

HRESULT CWirran::WriteStream(VARIANT, VARIANT*, VARIANT, VARIANT* Result) {
    if (!Result) return E_POINTER;
    if (!hasSocket()) return failMethod(Result, kNoSuchSocket, ResultKind::Flag);
    return socketLayerMethod(Result, ResultKind::Flag);
}
