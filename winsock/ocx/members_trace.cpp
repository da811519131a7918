// Tracing of the network calls: Trace, TraceFile and TraceFlags.
//
// Before the library starts the values are only stored; the start opens the trace when Trace is
// TRUE. On a started control, Trace TRUE opens it (and then reads whether that worked: FALSE
// when the trace library is missing), FALSE closes it, and a new file or new flags reopen an
// open trace with them.

#include "winsock/ocx/arguments.h"
#include "winsock/ocx/network_library.h"
#include "winsock/ocx/wirran.h"

bool CWirran::openTrace() {
    closeTrace();
    m_traceOpen = networkLibrary().enableTrace(m_state.traceFile.latin1(), m_state.traceFlags);
    return m_traceOpen;
}

void CWirran::closeTrace() {
    if (!m_traceOpen) return;
    networkLibrary().disableTrace();
    m_traceOpen = false;
}

HRESULT CWirran::put_Trace(VARIANT_BOOL value) {
    if (!m_initialized) {
        m_state.trace = asBool(value);
        return S_OK;
    }
    if (value != VARIANT_FALSE) {
        m_state.trace = toVariantBool(openTrace());
    } else {
        closeTrace();
        m_state.trace = VARIANT_FALSE;
    }
    return S_OK;
}

HRESULT CWirran::put_TraceFile(BSTR value) {
    m_state.traceFile = Bstr(bstrView(value));
    if (m_traceOpen) m_state.trace = toVariantBool(openTrace());
    return S_OK;
}

HRESULT CWirran::put_TraceFlags(LONG value) {
    m_state.traceFlags = value;
    if (m_traceOpen) m_state.trace = toVariantBool(openTrace());
    return S_OK;
}
