// The library lifecycle: Initialize (and the implicit start other members make), Reset,
// Uninitialize, and the closing steps they share with destruction.

#include <cstdio>

#include "winsock/ocx/arguments.h"
#include "winsock/ocx/base/error_table.h"
#include "winsock/ocx/network_library.h"
#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/wirran.h"

HRESULT CWirran::ensureInitialized(const std::string& moduleName) {
    if (m_initialized) return S_OK;
    if (!userMode()) return CTL_E_ILLEGALFUNCTIONCALL;
    // The window must exist before the library can report to it. Without one the control still
    // works in blocking mode, so a failure here is not the start's failure.
    createWindow();

    NetworkLibraryInfo info;
    if (!networkLibrary().start(moduleName, &info)) {
        uint32_t code = SocketError();
        if (code == 0) code = wirranErrorHresult(wrErrorNetworkNotReady);
        return ReportError(code, true, false);
    }
    m_state.libraryPath = Bstr::fromLatin1(info.path);
    m_maxDatagram = info.maxDatagram;
    m_maxSockets = info.maxSockets;
    m_winsockVendor = Bstr::fromLatin1(info.description);
    char version[32];
    std::snprintf(version, sizeof version, "%d.%d", info.highVersionMajor, info.highVersionMinor);
    m_winsockVersion = Bstr::fromUtf8(version);
    m_initialized = true;
    if (m_state.trace != VARIANT_FALSE) m_state.trace = toVariantBool(openTrace());
    return S_OK;
}

HRESULT CWirran::Initialize(VARIANT Reserved0, VARIANT ModuleName, VARIANT Options,
                            VARIANT Reserved, VARIANT* Error) {
    if (!Error) return E_POINTER;
    // Reserved0 is accepted as text and has no effect; Options has no meaning yet but must
    // still be a number.
    Bstr reserved0, moduleName;
    LONG options = 0;
    HRESULT hr = optionalString(Reserved0, nullptr, &reserved0);
    if (SUCCEEDED(hr)) hr = optionalString(ModuleName, nullptr, &moduleName);
    if (SUCCEEDED(hr)) hr = optionalLong(Options, 0, &options);
    if (FAILED(hr)) return hr;

    hr = ensureInitialized(moduleName.latin1());
    if (FAILED(hr)) return initFailure(hr, Error, ResultKind::ErrorCode);
    setLongResult(Error, 0);
    return S_OK;
}

HRESULT CWirran::Reset() {
    stopTimer();
    closeSocket();
    releaseCredentials();
    closeTrace();
    // Everything in ResetState goes back to its value at creation (the alias list with it);
    // the library, the limits it reported, the certificate settings and Enabled stay.
    m_state = ResetState{};
    return S_OK;
}

HRESULT CWirran::Uninitialize() {
    Reset();
    if (m_initialized) {
        networkLibrary().stop();
        m_initialized = false;
        m_state.libraryPath.reset();
        m_winsockVendor.reset();
        m_winsockVersion.reset();
        m_maxDatagram = 0;
        m_maxSockets = 0;
    }
    return S_OK;
}

void CWirran::stopTimer() {
    if (m_state.timerId != 0) KillTimer(m_state.timerWindow, m_state.timerId);
    m_state.timerId = 0;
    m_state.timerWindow = nullptr;
    m_state.interval = 0;
}

void CWirran::releaseCredentials() {
    // A secure connection's credentials belong to its session, which goes with the socket;
    // the control keeps none of its own between connections.
}

void CWirran::onFreezeEvents(bool) {
    // Event-driven mode: hold (frozen) or release (thawed) the socket's notifications here.
}
