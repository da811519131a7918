// The error model: ReportError and the ways members end in it.

#include "platform/com/errorinfo.h"
#include "winsock/ocx/arguments.h"
#include "winsock/ocx/base/error_table.h"
#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/wirran.h"

namespace {

constexpr uint32_t kInvalidHandle = wirranErrorHresult(wrErrorInvalidHandle);
constexpr uint32_t kNotConnected = wirranErrorHresult(wrErrorNotConnected);

}  // namespace

HRESULT CWirran::ReportError(uint32_t code, bool returnFlag, bool fireFlag, uint32_t* reported) {
    if (reported) *reported = 0;
    if (code == 0) code = SocketError();
    if (code == 0) return S_OK;
    // A stream operation on a control that is not connected says so, rather than naming the
    // missing handle.
    if (code == kInvalidHandle && m_state.protocol == wrProtocolTcp && !hasSocket())
        code = kNotConnected;
    m_state.lastError = code;
    if (reported) *reported = code;

    std::string text = errorTextOrUndefined(code);
    // The error object is best effort: a failure to build it changes nothing else.
    setErrorInfoText(IID_IWirran, m_errorSource, utf8ToUtf16(text), S_OK);

    if (fireFlag) m_fire.Fire_OnError(static_cast<LONG>(code & 0xFFFFu), text);

    if (!returnFlag) return S_OK;
    if (HRESULT_FACILITY(static_cast<HRESULT>(code)) == FACILITY_ITF)
        return static_cast<HRESULT>(0x800A0000u | (code & 0xFFFFu));
    return static_cast<HRESULT>(code);
}

HRESULT CWirran::designModeGet() const {
    return userMode() ? S_OK : CTL_E_GETNOTSUPPORTED;
}

void CWirran::writeFailure(VARIANT* result, ResultKind kind, uint32_t code) {
    switch (kind) {
        case ResultKind::ErrorCode:
            setLongResult(result, static_cast<LONG>(code & 0xFFFFu));
            break;
        case ResultKind::Count:
            setLongResult(result, -1);
            break;
        case ResultKind::Flag:
            setBoolResult(result, false);
            break;
    }
}

HRESULT CWirran::getString(BSTR* pVal, const Bstr& value) const {
    if (!pVal) return E_POINTER;
    if (HRESULT hr = designModeGet(); FAILED(hr)) return hr;
    *pVal = value.copy();
    return S_OK;
}

HRESULT CWirran::libraryGet(const void* pVal) {
    if (!pVal) return E_POINTER;
    if (HRESULT hr = designModeGet(); FAILED(hr)) return hr;
    return ensureInitialized();
}

HRESULT CWirran::failMethod(VARIANT* result, uint32_t code, ResultKind kind) {
    uint32_t reported = 0;
    HRESULT hr = ReportError(code, m_state.throwError != VARIANT_FALSE, true, &reported);
    if (reported != 0) {
        writeFailure(result, kind, reported);
    } else if (kind == ResultKind::Flag) {
        setBoolResult(result, true);  // nothing to report after all: the method succeeded
    } else {
        setLongResult(result, 0);
    }
    return hr;
}

HRESULT CWirran::failProperty(uint32_t code) {
    HRESULT hr = ReportError(code, true, false);
    // A property member that fails must fail, even when the slot had nothing to say.
    return SUCCEEDED(hr) ? E_FAIL : hr;
}

HRESULT CWirran::initFailure(HRESULT hr, VARIANT* result, ResultKind kind) {
    if (hr == CTL_E_ILLEGALFUNCTIONCALL) return hr;
    writeFailure(result, kind, m_state.lastError);
    return m_state.throwError != VARIANT_FALSE ? hr : S_OK;
}

HRESULT CWirran::socketLayerMethod(VARIANT* result, ResultKind kind, bool fire) {
    if (fire) return failMethod(result, wirranErrorHresult(wrErrorNotImplemented), kind);
    // Resolve reports without OnError.
    uint32_t reported = 0;
    HRESULT hr = ReportError(wirranErrorHresult(wrErrorNotImplemented),
                             m_state.throwError != VARIANT_FALSE, false, &reported);
    writeFailure(result, ResultKind::ErrorCode, reported);
    return hr;
}

HRESULT CWirran::socketMethod(VARIANT* result, ResultKind kind) {
    if (!result) return E_POINTER;
    if (!hasSocket()) return failMethod(result, wirranErrorHresult(wrErrorInvalidHandle), kind);
    return socketLayerMethod(result, kind);
}

HRESULT CWirran::libraryMethod(VARIANT* result, ResultKind kind) {
    if (!result) return E_POINTER;
    if (HRESULT hr = ensureInitialized(); FAILED(hr)) return initFailure(hr, result, kind);
    return socketLayerMethod(result, kind);
}

HRESULT CWirran::socketLayerProperty() {
    return failProperty(wirranErrorHresult(wrErrorNotImplemented));
}

HRESULT CWirran::socketLayerGet() {
    if (HRESULT hr = designModeGet(); FAILED(hr)) return hr;
    return socketLayerProperty();
}
