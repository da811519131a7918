// Server and datagram members and the socket options: Listen, Accept, Reject, Bind, Shutdown,
// the option properties, Listening and AtMark. Each converts its arguments, calls the socket
// layer (socket/listen.h, socket/socket_options.h, socket/connect.h) and reports a failure
// through ReportError with the code the layer left in its error slot.

#include "winsock/ocx/arguments.h"
#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/base/error_table.h"
#include "winsock/ocx/socket/close.h"
#include "winsock/ocx/socket/connect.h"
#include "winsock/ocx/socket/listen.h"
#include "winsock/ocx/socket/resolver.h"
#include "winsock/ocx/socket/socket_options.h"
#include "winsock/ocx/socket/watch.h"
#include "winsock/ocx/wirran.h"

namespace {

bool isSet(VARIANT_BOOL value) {
    return value != VARIANT_FALSE;
}

}  // namespace

HRESULT CWirran::get_AtMark(VARIANT_BOOL* pVal) {
    bool atMark = hasSocket() && kvlink::socketAtMark(m_socket) == 1;
    return getValue(pVal, toVariantBool(atMark));
}

HRESULT CWirran::get_Listening(VARIANT_BOOL* pVal) {
    bool listening = hasSocket() && kvlink::socketListening(m_socket) == 1;
    return getValue(pVal, toVariantBool(listening));
}

HRESULT CWirran::put_Linger(LONG value) {
    if (value < 0 || value > 65535) return CTL_E_INVALIDPROPERTYVALUE;
    m_state.linger = value;
    return S_OK;
}

HRESULT CWirran::putOption(uint32_t bit, VARIANT_BOOL& field, VARIANT_BOOL value) {
    // On an open socket the option is set first; a refusal leaves the stored value as it was.
    if (hasSocket() && !kvlink::setSocketOption(m_socket, bit, isSet(value)))
        return ReportError(0, true, false);
    field = asBool(value);
    return S_OK;
}

HRESULT CWirran::put_Broadcast(VARIANT_BOOL value) {
    return putOption(wrOptionBroadcast, m_state.broadcast, value);
}

HRESULT CWirran::put_InLine(VARIANT_BOOL value) {
    return putOption(wrOptionInLine, m_state.inLine, value);
}

HRESULT CWirran::put_KeepAlive(VARIANT_BOOL value) {
    return putOption(wrOptionKeepAlive, m_state.keepAlive, value);
}

HRESULT CWirran::put_NoDelay(VARIANT_BOOL value) {
    return putOption(wrOptionNoDelay, m_state.noDelay, value);
}

HRESULT CWirran::Listen(VARIANT LocalAddress, VARIANT LocalPort, VARIANT Backlog, VARIANT* Error) {
    if (!Error) return E_POINTER;
    Bstr address;
    LONG port = 0, backlog = 0;
    // Without an address the socket listens on every local address, whatever the LocalAddress
    // property holds.
    HRESULT hr = optionalString(LocalAddress, nullptr, &address);
    if (SUCCEEDED(hr)) hr = optionalLong(LocalPort, m_state.localPort, &port);
    if (SUCCEEDED(hr)) hr = optionalLong(Backlog, m_state.backlog, &backlog);
    if (FAILED(hr)) return hr;
    if (hr = ensureInitialized(); FAILED(hr)) return initFailure(hr, Error, ResultKind::ErrorCode);
    closeSocket();

    uint32_t resolved = 0;
    if (!address.empty() && !kvlink::resolveHostAddress(address.latin1(), &resolved)) {
        return failMethod(Error, wirranErrorHresult(wrErrorInvalidHostAddress),
                          ResultKind::ErrorCode);
    }
    kvlink::ListenRequest request;
    request.address = address.empty() ? std::string() : kvlink::formatDottedAddress(resolved);
    request.port = port;
    request.backlog = backlog;
    request.options = isSet(m_state.reuseAddress) ? uint32_t{wrOptionReuseAddress} : 0;
    if (!isSet(m_state.blocking)) {
        request.notifyWindow = window();
        request.notifyMessage = kSocketNotifyMessage;
        request.holdNotifications = eventsFrozen();
    }
    int32_t handle = wrInvalidSocket;
    if (!kvlink::listenSocket(request, &handle)) return failMethod(Error, 0, ResultKind::ErrorCode);
    m_socket = handle;
    m_state.localAddress = resolved;
    m_state.localPort = port;
    m_state.backlog = backlog;
    setLongResult(Error, 0);
    return S_OK;
}

HRESULT CWirran::Accept(VARIANT Handle, VARIANT Options, VARIANT* Error) {
    if (!Error) return E_POINTER;
    // The control has no socket while the call runs; a failure gives it back.
    const LONG own = m_socket;
    uint32_t composed = 0;
    if (!isSet(m_state.route)) composed |= wrOptionDontRoute;
    if (isSet(m_state.keepAlive)) composed |= wrOptionKeepAlive;
    if (isSet(m_state.noDelay)) composed |= wrOptionNoDelay;
    if (isSet(m_state.inLine)) composed |= wrOptionInLine;
    if (isSet(m_state.secure)) composed |= wrOptionSecure;
    LONG listener = wrInvalidSocket, options = 0;
    HRESULT hr = optionalLong(Handle, own, &listener);
    if (SUCCEEDED(hr)) hr = optionalLong(Options, static_cast<LONG>(composed), &options);
    if (FAILED(hr)) return hr;
    if (!isMissingArg(&Options) && isSet(m_state.secure)) options |= wrOptionSecure;
    if (hr = ensureInitialized(); FAILED(hr)) return initFailure(hr, Error, ResultKind::ErrorCode);
    if (!(options & wrOptionSecure)) releaseCredentials();

    kvlink::AcceptRequest request;
    request.timeout = m_state.timeout;
    request.options = static_cast<uint32_t>(options);
    request.notifyWindow = window();
    request.notifyMessage = kSocketNotifyMessage;
    request.eventDriven = !isSet(m_state.blocking);
    request.holdNotifications = eventsFrozen();
    request.secureProtocol = m_state.secureProtocol;
    request.certificateStore = m_certificateStore.utf8();
    request.certificateName = m_certificateName.utf8();
    m_socket = wrInvalidSocket;
    int32_t handle = wrInvalidSocket;
    if (!kvlink::acceptSocket(listener, request, &handle)) {
        // An Abort during the wait has closed the listener it waited on.
        bool aborted = SocketErrorCode(SocketError()) == wrErrorConnectionAborted;
        m_socket = (aborted && own == listener) ? LONG{wrInvalidSocket} : own;
        return failMethod(Error, 0, ResultKind::ErrorCode);
    }
    // Accepted from its own listening socket, the control now holds the connection instead; a
    // socket it had beside the listener it was given is closed like any replaced socket.
    if (own != wrInvalidSocket) {
        if (own == listener) {
            kvlink::closeSocket(own, 0);
        } else {
            m_socket = own;
            closeSocket();
        }
    }
    m_socket = handle;
    m_connectOwed = false;
    m_state.localAddress = 0;
    m_state.localPort = 0;
    m_state.protocol = wrProtocolTcp;
    auto flag = [&](uint32_t bit) { return toVariantBool((request.options & bit) != 0); };
    m_state.keepAlive = flag(wrOptionKeepAlive);
    m_state.reuseAddress = flag(wrOptionReuseAddress);
    m_state.noDelay = flag(wrOptionNoDelay);
    m_state.route = toVariantBool((request.options & wrOptionDontRoute) == 0);
    m_state.inLine = flag(wrOptionInLine);
    m_state.secure = flag(wrOptionSecure);
    setLongResult(Error, 0);
    return S_OK;
}

HRESULT CWirran::Reject(VARIANT* Error) {
    if (!Error) return E_POINTER;
    if (HRESULT hr = ensureInitialized(); FAILED(hr))
        return initFailure(hr, Error, ResultKind::ErrorCode);
    if (!hasSocket())
        return failMethod(Error, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::ErrorCode);
    if (!kvlink::rejectSocket(m_socket)) return failMethod(Error, 0, ResultKind::ErrorCode);
    setLongResult(Error, 0);
    return S_OK;
}

HRESULT CWirran::Bind(VARIANT LocalAddress, VARIANT LocalPort, VARIANT Protocol, VARIANT Timeout,
                      VARIANT Options, VARIANT* Error) {
    if (!Error) return E_POINTER;
    Bstr address;
    LONG port = 0, protocol = 0, timeout = 0, options = 0;
    HRESULT hr = optionalString(LocalAddress, nullptr, &address);
    if (SUCCEEDED(hr)) hr = optionalLong(LocalPort, 0, &port);
    if (SUCCEEDED(hr)) hr = optionalLong(Protocol, m_state.protocol, &protocol);
    if (SUCCEEDED(hr)) hr = optionalLong(Timeout, m_state.timeout, &timeout);
    if (SUCCEEDED(hr)) hr = optionalLong(Options, static_cast<LONG>(optionWord()), &options);
    if (FAILED(hr)) return hr;
    if (!isMissingArg(&Options) && isSet(m_state.secure)) options |= wrOptionSecure;
    if (hr = ensureInitialized(); FAILED(hr)) return initFailure(hr, Error, ResultKind::ErrorCode);
    // Names are not resolved here: an empty text is any address, anything else must be dotted
    // (parsed by the network library, so only once it runs).
    uint32_t local = m_state.localAddress;
    bool valid = true;
    if (!isMissingArg(&LocalAddress)) {
        local = 0;
        valid = address.empty() || kvlink::parseDottedAddress(address.latin1(), &local);
    }
    closeSocket();
    if (!valid) {
        return failMethod(Error, wirranErrorHresult(wrErrorInvalidHostAddress),
                          ResultKind::ErrorCode);
    }
    auto flag = [&](uint32_t bit) { return toVariantBool((options & bit) != 0); };

    if (protocol == wrProtocolTcp || protocol == 0) {
        // A stream socket is made by the next Connect or Listen, with these parameters.
        m_state.protocol = wrProtocolTcp;
        m_state.localAddress = local;
        m_state.localPort = port;
        m_state.boundPort = port;
        m_state.timeout = timeout;
        m_state.route = toVariantBool((options & wrOptionDontRoute) == 0);
        m_state.keepAlive = flag(wrOptionKeepAlive);
        m_state.reuseAddress = flag(wrOptionReuseAddress);
        m_state.noDelay = flag(wrOptionNoDelay);
        m_state.inLine = flag(wrOptionInLine);
        m_state.secure = flag(wrOptionSecure);
        setLongResult(Error, 0);
        return S_OK;
    }

    // A datagram (or raw) endpoint: its default peer is the local binding itself.
    m_state.noDelay = m_state.inLine = m_state.secure = VARIANT_FALSE;
    kvlink::ConnectRequest request;
    request.host = kvlink::formatDottedAddress(local);
    request.remotePort = port;
    request.protocol = protocol;
    request.timeout = timeout;
    request.options = static_cast<uint32_t>(options) &
                      ~uint32_t{wrOptionNoDelay | wrOptionInLine | wrOptionSecure};
    request.localAddress = local;
    request.localPort = port;
    request.notifyWindow = window();
    request.notifyMessage = kSocketNotifyMessage;
    request.eventDriven = !isSet(m_state.blocking);
    request.holdNotifications = eventsFrozen();
    int32_t handle = wrInvalidSocket;
    if (!kvlink::connectSocket(request, &handle))
        return failMethod(Error, 0, ResultKind::ErrorCode);
    m_socket = handle;
    m_connectOwed = false;
    m_state.protocol = protocol;
    m_state.remotePort = port;
    m_state.timeout = timeout;
    m_state.localPort = 0;
    m_state.broadcast = flag(wrOptionBroadcast);
    m_state.route = toVariantBool((options & wrOptionDontRoute) == 0);
    kvlink::setSocketOption(handle, wrOptionBroadcast, isSet(m_state.broadcast));
    kvlink::setSocketOption(handle, wrOptionDontRoute, !isSet(m_state.route));
    releaseCredentials();
    setLongResult(Error, 0);
    return S_OK;
}

HRESULT CWirran::Shutdown(VARIANT Options, VARIANT* Error) {
    if (!Error) return E_POINTER;
    LONG how = wrShutdownWrite;
    if (HRESULT hr = optionalLong(Options, wrShutdownWrite, &how); FAILED(hr)) return hr;
    if (HRESULT hr = ensureInitialized(); FAILED(hr))
        return initFailure(hr, Error, ResultKind::ErrorCode);
    if (!hasSocket())
        return failMethod(Error, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::ErrorCode);
    if (!kvlink::shutdownSocket(m_socket, how)) return failMethod(Error, 0, ResultKind::ErrorCode);
    setLongResult(Error, 0);
    return S_OK;
}
