// Informational members (About, Enabled, Window, Handle, Version, the network library's
// facts) and the error members (LastError, LastErrorString, ThrowError).

#include "platform/user/dialog.h"
#include "winsock/ocx/arguments.h"
#include "winsock/ocx/base/error_table.h"
#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/wirran.h"

namespace {

// The about box (dialog units of the original template).
ModalDialogRequest aboutBox() {
    ModalDialogRequest about;
    about.caption = "About Wirran";
    about.width = 260;
    about.height = 55;
    about.fontName = "MS Sans Serif";
    about.fontPoints = 8;
    about.showIcon = true;
    about.iconX = 10;
    about.iconY = 10;
    about.lines = {{40, 10, "Wirran Windows Sockets Control"},
                   {40, 21, "Version 6.0 Build 6000"},
                   {40, 32, "Windows Sockets for Linux over POSIX sockets"}};
    about.buttons = {{IDOK, "OK", 221, 7, 32, 14, true}};
    return about;
}

}  // namespace

HRESULT CWirran::About() {
    // The host's dialog hook owns the modal loop; over its active window (no owner named).
    ShowModalDialog(nullptr, aboutBox());
    return S_OK;
}

HRESULT CWirran::put_Enabled(VARIANT_BOOL value) {
    // Frozen events keep the container's sinks out of it, both asking and telling.
    if (!eventsFrozen() && m_notify.fireRequestEdit(DISPID_ENABLED) == S_FALSE) return S_FALSE;
    m_enabled = asBool(value);
    setDirty();
    if (!eventsFrozen()) m_notify.fireChanged(DISPID_ENABLED);
    // Nothing to redraw: the control draws nothing on this platform.
    return S_OK;
}

HRESULT CWirran::get_Enabled(VARIANT_BOOL* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = m_enabled;
    return S_OK;
}

HRESULT CWirran::get_Window(LONG* pVal) {
    if (!pVal) return E_POINTER;
    // Window handles of this platform are small serial numbers, so they fit a 32-bit long.
    *pVal = static_cast<LONG>(reinterpret_cast<uintptr_t>(window()));
    return S_OK;
}

HRESULT CWirran::get_Version(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    if (HRESULT hr = designModeGet(); FAILED(hr)) return hr;
    *pVal = bstrFromUtf8(kWirranVersion);
    return S_OK;
}

HRESULT CWirran::put_Library(BSTR value) {
    // Only informational: Initialize's ModuleName chooses the library that starts.
    if (m_initialized) return CTL_E_SETNOTSUPPORTED;
    m_state.libraryPath = Bstr(bstrView(value));
    return S_OK;
}

// ---- Errors ----------------------------------------------------------------------------------

HRESULT CWirran::get_LastError(LONG* pVal) {
    if (!pVal) return E_POINTER;
    if (HRESULT hr = designModeGet(); FAILED(hr)) return hr;
    *pVal = static_cast<LONG>(m_state.lastError & 0xFFFFu);
    return S_OK;
}

HRESULT CWirran::put_LastError(LONG value) {
    // A bare code gets its HRESULT form; the socket layer's slot follows, so the next failure
    // that reports "the current error" finds this one.
    m_state.lastError = SocketErrorHresult(static_cast<uint32_t>(value));
    SetSocketError(m_state.lastError);
    return S_OK;
}

HRESULT CWirran::get_LastErrorString(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    if (HRESULT hr = designModeGet(); FAILED(hr)) return hr;
    *pVal = bstrFromUtf8(errorTextOrUndefined(m_state.lastError));
    return S_OK;
}

