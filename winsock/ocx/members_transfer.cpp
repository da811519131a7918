// Line, byte and stream transfers over the control's TCP connection, and the byte order of
// integer buffers.
//
// Each needs the socket layer's stream buffer on an open socket, which is still to come (PENDING
// in the member list). Without a socket they fail as a stream operation on no socket does (10057
// for TCP); the branch with a socket ends in socketMethod, where the socket layer's transfer
// goes.

#include "winsock/ocx/wirran.h"

HRESULT CWirran::ReadByte(VARIANT* Result) {
    return socketMethod(Result, ResultKind::Count);  // Socket layer: one byte.
}

HRESULT CWirran::WriteByte(VARIANT, VARIANT* Result) {
    return socketMethod(Result, ResultKind::Flag);  // Socket layer: one byte.
}

HRESULT CWirran::ReadLine(VARIANT*, VARIANT, VARIANT* Result) {
    return socketMethod(Result, ResultKind::Flag);  // Socket layer: a line.
}

HRESULT CWirran::WriteLine(VARIANT, VARIANT* Result) {
    return socketMethod(Result, ResultKind::Flag);  // Socket layer: a line.
}

HRESULT CWirran::ReadStream(VARIANT*, VARIANT*, VARIANT, VARIANT, VARIANT* Result) {
    return socketMethod(Result, ResultKind::Flag);  // Socket layer: a stream.
}

HRESULT CWirran::StoreStream(VARIANT, VARIANT*, VARIANT, VARIANT, VARIANT* Result) {
    return socketMethod(Result, ResultKind::Flag);  // Socket layer: a stream into a file.
}

HRESULT CWirran::WriteStream(VARIANT, VARIANT*, VARIANT, VARIANT* Result) {
    return socketMethod(Result, ResultKind::Flag);  // Socket layer: a stream.
}
