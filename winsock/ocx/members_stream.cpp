// Blocking stream members: connect, read, write, close, cancel, abort, and the socket's state.
// Each converts its arguments, calls the socket layer, and reports a failure through
// ReportError with the code the layer left in its error slot.

#include "winsock/ocx/arguments.h"
#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/base/error_table.h"
#include "winsock/ocx/io_buffer.h"
#include "winsock/ocx/socket/close.h"
#include "winsock/ocx/socket/connect.h"
#include "winsock/ocx/socket/resolver.h"
#include "winsock/ocx/socket/socket_info.h"
#include "winsock/ocx/socket/socket_record.h"
#include "winsock/ocx/socket/transfer.h"
#include "winsock/ocx/socket/watch.h"
#include "winsock/ocx/wirran.h"

namespace {

bool isSet(VARIANT_BOOL value) {
    return value != VARIANT_FALSE;
}

// A by-reference or by-value output VARIANT receives text.
void storeText(VARIANT* target, const std::string& text) {
    target = variantDeref(target);
    if (target->vt == (VT_BYREF | VT_BSTR)) {
        SysFreeString(*target->pbstrVal);
        *target->pbstrVal = bstrFromLatin1(text);
        return;
    }
    VariantClear(target);
    target->vt = VT_BSTR;
    target->bstrVal = bstrFromLatin1(text);
}

// A port goes out as a number, or as decimal text into a variable that holds a string.
void storePort(VARIANT* target, uint16_t port) {
    VARIANT* value = variantDeref(target);
    if ((value->vt & ~VT_BYREF) == VT_BSTR) {
        storeText(value, std::to_string(port));
    } else {
        writeCountToVariant(value, port);
    }
}

}  // namespace

HRESULT CWirran::put_Blocking(VARIANT_BOOL value) {
    if (hasSocket()) {
        if (isSet(value)) {
            if (!kvlink::unwatchSocket(m_socket)) return ReportError(0, true, false);
        } else {
            if (!window()) return CTL_E_INVALIDPROPERTYVALUE;
            if (!kvlink::watchSocket(m_socket, window(), kSocketNotifyMessage, kvlink::kNotifyAll))
                return ReportError(0, true, false);
            if (eventsFrozen()) kvlink::holdSocket(m_socket, true);
        }
    }
    m_state.blocking = asBool(value);
    return S_OK;
}

HRESULT CWirran::get_Timeout(LONG* pVal) {
    if (!hasSocket()) return getValue(pVal, m_state.timeout);
    if (!pVal) return E_POINTER;
    if (HRESULT hr = designModeGet(); FAILED(hr)) return hr;
    kvlink::SocketSnapshot info;
    if (!kvlink::readSocket(m_socket, &info)) return failProperty(0);
    *pVal = info.timeoutSeconds;
    return S_OK;
}

HRESULT CWirran::put_Timeout(LONG value) {
    // The open socket's record takes it for its next wait.
    if (hasSocket() && !kvlink::setSocketTimeout(m_socket, value)) return failProperty(0);
    m_state.timeout = value;
    return S_OK;
}

HRESULT CWirran::get_Connected(VARIANT_BOOL* pVal) {
    kvlink::SocketSnapshot info;
    bool known = hasSocket() && kvlink::readSocket(m_socket, &info);
    return getValue(pVal, toVariantBool(known && info.connected));
}

HRESULT CWirran::get_IsBlocked(VARIANT_BOOL* pVal) {
    kvlink::SocketSnapshot info;
    bool known = hasSocket() && kvlink::readSocket(m_socket, &info);
    return getValue(pVal, toVariantBool(known && info.blocked));
}

HRESULT CWirran::get_IsClosed(VARIANT_BOOL* pVal) {
    kvlink::SocketSnapshot info;
    bool known = hasSocket() && kvlink::readSocket(m_socket, &info);
    return getValue(pVal, toVariantBool(known && info.closedByPeer));
}

HRESULT CWirran::get_IsReadable(VARIANT_BOOL* pVal) {
    bool readable = hasSocket() && kvlink::socketReadable(m_socket) == 1;
    return getValue(pVal, toVariantBool(readable));
}

HRESULT CWirran::get_IsWritable(VARIANT_BOOL* pVal) {
    bool writable = hasSocket() && kvlink::socketWritable(m_socket) == 1;
    return getValue(pVal, toVariantBool(writable));
}

HRESULT CWirran::get_State(LONG* pVal) {
    kvlink::SocketSnapshot info;
    bool known = hasSocket() && kvlink::readSocket(m_socket, &info);
    return getValue(pVal, LONG{known ? info.status : wrStatusUnused});
}

uint32_t CWirran::optionWord() const {
    uint32_t options = 0;
    if (isSet(m_state.broadcast)) options |= wrOptionBroadcast;
    if (!isSet(m_state.route)) options |= wrOptionDontRoute;
    if (isSet(m_state.keepAlive)) options |= wrOptionKeepAlive;
    if (isSet(m_state.reuseAddress)) options |= wrOptionReuseAddress;
    if (isSet(m_state.noDelay)) options |= wrOptionNoDelay;
    if (isSet(m_state.inLine)) options |= wrOptionInLine;
    if (isSet(m_state.secure)) options |= wrOptionSecure;
    return options;
}

HRESULT CWirran::Connect(VARIANT RemoteAddress, VARIANT RemotePort, VARIANT Protocol,
                         VARIANT Timeout, VARIANT Options, VARIANT LocalAddress, VARIANT LocalPort,
                         VARIANT* Error) {
    if (!Error) return E_POINTER;
    const Bstr& defaultHost = m_state.hostAddress.empty() ? m_state.hostName : m_state.hostAddress;
    Bstr host, localAddress;
    LONG port = 0, protocol = 0, timeout = 0, options = 0, localPort = 0;
    HRESULT hr = optionalString(RemoteAddress, defaultHost.get(), &host);
    if (SUCCEEDED(hr)) hr = optionalLong(RemotePort, m_state.remotePort, &port);
    if (SUCCEEDED(hr)) hr = optionalLong(Protocol, m_state.protocol, &protocol);
    if (SUCCEEDED(hr)) hr = optionalLong(Timeout, m_state.timeout, &timeout);
    if (SUCCEEDED(hr)) hr = optionalLong(Options, static_cast<LONG>(optionWord()), &options);
    if (SUCCEEDED(hr)) hr = optionalString(LocalAddress, nullptr, &localAddress);
    if (SUCCEEDED(hr)) hr = optionalLong(LocalPort, m_state.boundPort, &localPort);
    if (FAILED(hr)) return hr;
    if (!isMissingArg(&Options) && isSet(m_state.secure)) options |= wrOptionSecure;

    if (hr = ensureInitialized(); FAILED(hr)) return initFailure(hr, Error, ResultKind::ErrorCode);
    closeSocket();

    kvlink::ConnectRequest request;
    request.host = host.latin1();
    request.remotePort = port;
    request.protocol = protocol == 0 ? LONG{wrProtocolTcp} : protocol;
    request.timeout = timeout;
    request.options = static_cast<uint32_t>(options);
    request.localAddress = m_state.localAddress;
    request.localPort = localPort;
    request.secureProtocol = m_state.secureProtocol;
    request.certificateStore = m_certificateStore.utf8();
    request.certificateName = m_certificateName.utf8();
    if (!localAddress.empty() &&
        !kvlink::parseDottedAddress(localAddress.latin1(), &request.localAddress)) {
        return failMethod(Error, wirranErrorHresult(wrErrorInvalidHostAddress),
                          ResultKind::ErrorCode);
    }
    // Event-driven, the connect completes by notification; in blocking mode the window still
    // hears the socket's transfer progress. Events the host froze hold the new socket at once.
    request.notifyWindow = window();
    request.notifyMessage = kSocketNotifyMessage;
    request.eventDriven = !isSet(m_state.blocking);
    request.holdNotifications = eventsFrozen();
    m_connectOwed = false;

    int32_t handle = wrInvalidSocket;
    if (!kvlink::connectSocket(request, &handle))
        return failMethod(Error, 0, ResultKind::ErrorCode);
    m_socket = handle;
    m_state.boundPort = 0;
    m_state.remotePort = port;
    m_state.protocol = request.protocol;
    m_state.timeout = kvlink::normalizeTimeout(timeout);
    m_state.hostName = host;

    // The option properties follow the option word the connection was made with.
    auto flag = [&](uint32_t bit) { return toVariantBool((request.options & bit) != 0); };
    m_state.route = toVariantBool((request.options & wrOptionDontRoute) == 0);
    if (request.protocol == wrProtocolTcp) {
        m_state.keepAlive = flag(wrOptionKeepAlive);
        m_state.reuseAddress = flag(wrOptionReuseAddress);
        m_state.noDelay = flag(wrOptionNoDelay);
        m_state.inLine = flag(wrOptionInLine);
        m_state.secure = flag(wrOptionSecure);
    } else {
        m_state.broadcast = flag(wrOptionBroadcast);
    }
    setLongResult(Error, 0);
    return S_OK;
}

HRESULT CWirran::Disconnect(VARIANT* Error) {
    if (!Error) return E_POINTER;
    closeSocket();
    setLongResult(Error, 0);
    return S_OK;
}

void CWirran::closeSocket() {
    m_connectOwed = false;
    if (!hasSocket()) return;
    // A socket that a wait of this thread still uses cannot be closed under it; it is aborted
    // instead (its waiting call closes it and fails with 10053), so it is never left open with
    // no handle to reach it.
    if (!kvlink::closeSocket(m_socket, m_state.linger) &&
        SocketErrorCode(SocketError()) == wrErrorOperationInProgress)
        kvlink::abortSocket(m_socket);
    m_socket = wrInvalidSocket;
}

HRESULT CWirran::Read(VARIANT* Buffer, VARIANT Length, VARIANT Options, VARIANT* RemoteAddress,
                      VARIANT* RemotePort, VARIANT* Result) {
    if (!Result) return E_POINTER;
    LONG options = 0;
    if (HRESULT hr = optionalLong(Options, 0, &options); FAILED(hr)) return hr;
    // An empty buffer is a string to be; a missing one (VT_ERROR) is refused by planRead.
    if (options != 0) return E_INVALIDARG;
    ReadPlan plan;
    if (HRESULT hr = planRead(Buffer, Length, &plan); FAILED(hr)) return hr;
    if (!hasSocket())
        return failMethod(Result, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::Count);

    ReadTarget target(plan);
    if (!target.data()) return E_OUTOFMEMORY;
    uint32_t fromAddress = 0;
    uint16_t fromPort = 0;
    int n = kvlink::socketReceive(m_socket, target.data(), plan.count, 0, &fromAddress, &fromPort);
    if (n < 0) {
        // An abort closed the socket while the call waited.
        if (SocketErrorCode(SocketError()) == wrErrorConnectionAborted) m_socket = wrInvalidSocket;
        return failMethod(Result, 0, ResultKind::Count);
    }
    if (HRESULT hr = target.store(n, m_state.byteOrder == wrNetworkByteOrder); FAILED(hr))
        return hr;
    // An output the caller left out arrives as VT_ERROR; an empty variable is one to fill.
    auto given = [](VARIANT* out) { return out && variantDeref(out)->vt != VT_ERROR; };
    if (m_state.protocol != wrProtocolTcp) {
        if (given(RemoteAddress))
            storeText(RemoteAddress, kvlink::formatDottedAddress(fromAddress));
        if (given(RemotePort)) storePort(RemotePort, fromPort);
    }
    setLongResult(Result, n);
    return S_OK;
}

HRESULT CWirran::ReadEx(VARIANT* Buffer, VARIANT Length, VARIANT Options, VARIANT* RemoteAddress,
                        VARIANT* RemotePort, VARIANT* Result) {
    return Read(Buffer, Length, Options, RemoteAddress, RemotePort, Result);
}

HRESULT CWirran::Write(VARIANT Buffer, VARIANT Length, VARIANT Options, VARIANT RemoteAddress,
                       VARIANT RemotePort, VARIANT* Result) {
    if (!Result) return E_POINTER;
    LONG options = 0, toPort = 0;
    Bstr toText;
    if (HRESULT hr = optionalLong(Options, 0, &options); FAILED(hr)) return hr;
    // Left out (as on nearly every stream write) it stays empty, with nothing allocated.
    if (!isMissingArg(&RemoteAddress)) {
        if (HRESULT hr = optionalString(RemoteAddress, nullptr, &toText); FAILED(hr)) return hr;
    }
    if (HRESULT hr = optionalLong(RemotePort, 0, &toPort); FAILED(hr)) return hr;
    if (options != 0 || isMissingArg(&Buffer)) return E_INVALIDARG;
    WriteBytes bytes;
    if (HRESULT hr = prepareWrite(Buffer, Length, m_state.byteOrder == wrNetworkByteOrder, &bytes);
        FAILED(hr))
        return hr;
    if (!hasSocket())
        return failMethod(Result, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::Count);

    // The destination: absent, empty or 0 means the socket's peer. A connected stream goes
    // only to its peer, so another address or port given is refused.
    uint32_t toAddress = 0;
    if (!toText.empty() && !kvlink::parseDottedAddress(toText.latin1(), &toAddress))
        return failMethod(Result, wirranErrorHresult(wrErrorInvalidHostAddress), ResultKind::Count);
    if (toPort < 0 || toPort > 65535)
        return failMethod(Result, wirranErrorHresult(wrErrorInvalidServicePort), ResultKind::Count);
    kvlink::SocketSnapshot peer;
    if ((toAddress != 0 || toPort != 0) && kvlink::readSocket(m_socket, &peer) &&
        peer.protocol == wrProtocolTcp) {
        if (toAddress != 0 && toAddress != peer.remoteAddress) {
            return failMethod(Result, wirranErrorHresult(wrErrorInvalidHostAddress),
                              ResultKind::Count);
        }
        if (toPort != 0 && toPort != peer.remotePort) {
            return failMethod(Result, wirranErrorHresult(wrErrorInvalidServicePort),
                              ResultKind::Count);
        }
    }
    uint32_t stoppedBy = 0;
    int n = kvlink::socketSend(m_socket, bytes.data(), bytes.count(), 0, &stoppedBy, toAddress,
                               static_cast<uint16_t>(toPort));
    if (n < 0) {
        if (SocketErrorCode(SocketError()) == wrErrorConnectionAborted) m_socket = wrInvalidSocket;
        return failMethod(Result, 0, ResultKind::Count);
    }
    // Part of the data went before a time-out (or another failure): the count is the result, so
    // the caller does not send those bytes again, and the failure is the last error.
    if (stoppedBy != 0) {
        if (SocketErrorCode(stoppedBy) == wrErrorConnectionAborted) m_socket = wrInvalidSocket;
        ReportError(stoppedBy, false, false);
    }
    setLongResult(Result, n);
    return S_OK;
}

HRESULT CWirran::WriteEx(VARIANT Buffer, VARIANT Length, VARIANT Options, VARIANT RemoteAddress,
                         VARIANT RemotePort, VARIANT* Result) {
    return Write(Buffer, Length, Options, RemoteAddress, RemotePort, Result);
}

HRESULT CWirran::Cancel(VARIANT* Error) {
    if (!Error) return E_POINTER;
    // Before the library starts there is nothing that could be waiting.
    if (!m_initialized) {
        setLongResult(Error, 0);
        return S_OK;
    }
    bool done = hasSocket() ? kvlink::cancelSocket(m_socket) : kvlink::cancelWait();
    if (!done) return failMethod(Error, 0, ResultKind::ErrorCode);
    setLongResult(Error, 0);
    return S_OK;
}

HRESULT CWirran::Abort(VARIANT* Error) {
    if (!Error) return E_POINTER;
    if (!hasSocket())
        return failMethod(Error, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::ErrorCode);
    if (!kvlink::abortSocket(m_socket)) return failMethod(Error, 0, ResultKind::ErrorCode);
    // The socket is gone, or goes as soon as the call waiting on it looks again.
    m_socket = wrInvalidSocket;
    setLongResult(Error, 0);
    return S_OK;
}
