// The interval timer and the control window's messages.
//
// Interval runs a system timer (identifier 1) on the control's window; each WM_TIMER raises
// OnTimer, except while an OnTimer handler is still running (a handler that pumps messages
// must not be entered again). The socket notification message belongs to event-driven mode.

#include "winsock/ocx/wirran.h"

namespace {

constexpr UINT_PTR kIntervalTimerId = 1;

}  // namespace

HRESULT CWirran::put_Interval(LONG value) {
    if (value > 65535) return CTL_E_INVALIDPROPERTYVALUE;
    if (!userMode()) return S_OK;  // a timer means nothing on a design surface
    if (HRESULT hr = ensureInitialized(); FAILED(hr)) return hr;
    stopTimer();
    if (!window()) return CTL_E_SETNOTPERMITTED;
    m_state.interval = value;
    if (value <= 0) return S_OK;  // stored, and no timer runs
    if (SetTimer(window(), kIntervalTimerId, static_cast<UINT>(value), nullptr) == 0) {
        m_state.interval = 0;  // what reads back must match what runs
        return CTL_E_SETNOTPERMITTED;
    }
    m_state.timerId = kIntervalTimerId;
    m_state.timerWindow = window();
    return S_OK;
}

void CWirran::onTimer(UINT_PTR id) {
    if (id != m_state.timerId || m_state.interval == 0 || m_state.timerGuard) return;
    // A handler may release the host's last reference; the object must outlive the event.
    ComPtr<IUnknown> keep(controllingUnknown());
    m_state.timerGuard = true;
    m_fire.Fire_OnTimer();
    m_state.timerGuard = false;
}

void CWirran::onSocketNotification(WPARAM, LPARAM) {
    // Event-driven mode: turn the socket layer's notification into OnAccept, OnConnect,
    // OnDisconnect, OnRead, OnWrite, OnProgress or OnError here.
}
