// Names, addresses, ports and services: the host, the local and remote side, the peer, the
// local adapters, the external address, and Resolve. The lookups are the socket layer's
// resolver (winsock/ocx/socket/resolver.h); these members choose what to look up, store the
// results and report failures. Property members report through failProperty (the error
// HRESULT whatever ThrowError says, no OnError); Resolve reports without OnError.

#include <algorithm>

#include "winsock/ocx/arguments.h"
#include "winsock/ocx/base/error_table.h"
#include "winsock/ocx/socket/external_address.h"
#include "winsock/ocx/socket/host_table.h"
#include "winsock/ocx/socket/resolver.h"
#include "winsock/ocx/socket/socket_info.h"
#include "winsock/ocx/wirran.h"

namespace {

// The adapter cache holds this many addresses; AdapterCount may report more.
constexpr size_t kAdapterCacheSize = 64;

bool validPort(LONG port) {
    return port >= 1 && port <= 65535;
}

std::string bytesOf(BSTR value) {
    return bstrToLatin1(value);
}

HRESULT setText(BSTR* pVal, const std::string& bytes) {
    *pVal = bstrFromLatin1(bytes);
    return S_OK;
}

}  // namespace

HRESULT CWirran::refreshAdapters() {
    std::vector<uint32_t> addresses;
    if (!kvlink::localAddresses(&addresses)) {
        m_state.adapterCount = 0;
        m_state.adapterAddresses.clear();
        return failProperty(0);
    }
    m_state.adapterCount = static_cast<LONG>(addresses.size());
    addresses.resize(std::min(addresses.size(), kAdapterCacheSize));
    m_state.adapterAddresses = std::move(addresses);
    return S_OK;
}

HRESULT CWirran::get_AdapterAddress(VARIANT Index, BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    LONG index = -1;
    if (HRESULT hr = optionalLong(Index, -1, &index); FAILED(hr)) return hr;
    if (m_state.adapterCount == 0) {
        if (HRESULT hr = refreshAdapters(); FAILED(hr)) return hr;
    }
    // Beyond the cache there is no address to give, though the count may be larger.
    if (index < 0 || static_cast<size_t>(index) >= m_state.adapterAddresses.size())
        return E_INVALIDARG;
    return setText(pVal, kvlink::formatDottedAddress(m_state.adapterAddresses[index]));
}

HRESULT CWirran::get_AdapterCount(LONG* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    if (HRESULT hr = refreshAdapters(); FAILED(hr)) return hr;
    *pVal = m_state.adapterCount;
    return S_OK;
}

HRESULT CWirran::get_ExternalAddress(BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    // No service answering is no failure of the property: it reads empty, and the lookup's
    // error stays in the socket layer's slot.
    return setText(pVal, kvlink::externalAddress());
}

HRESULT CWirran::put_HostAddress(BSTR value) {
    m_state.hostAliases.clear();
    if (SysStringLen(value) == 0) return S_OK;
    m_state.hostName.reset();
    // In design mode the address is not stored.
    if (!userMode()) return S_OK;
    if (HRESULT hr = ensureInitialized(); FAILED(hr)) return hr;
    uint32_t address;
    if (!kvlink::parseDottedAddress(bytesOf(value), &address))
        return failProperty(wirranErrorHresult(wrErrorInvalidHostAddress));
    m_state.hostAddress = Bstr::fromLatin1(kvlink::formatDottedAddress(address));
    if (m_state.autoResolve) {
        std::string name;
        if (kvlink::reverseLookup(address, &name)) m_state.hostName = Bstr::fromLatin1(name);
    }
    return S_OK;
}

HRESULT CWirran::get_HostAlias(VARIANT Index, BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    LONG index = -1;
    if (HRESULT hr = optionalLong(Index, -1, &index); FAILED(hr)) return hr;
    if (index < 0) return E_INVALIDARG;
    if (m_state.hostAliases.empty()) {
        const Bstr& host = m_state.hostAddress.empty() ? m_state.hostName : m_state.hostAddress;
        if (host.empty()) return E_INVALIDARG;
        if (!kvlink::hostAliases(host.latin1(), &m_state.hostAliases)) return failProperty(0);
    }
    if (static_cast<size_t>(index) >= m_state.hostAliases.size()) return E_INVALIDARG;
    return setText(pVal, m_state.hostAliases[index]);
}

HRESULT CWirran::get_HostFile(BSTR* pVal) {
    return getString(pVal, Bstr::fromLatin1(kvlink::hostTablePath()));
}

HRESULT CWirran::put_HostFile(BSTR value) {
    if (kvlink::loadHostTable(bytesOf(value)) < 0) return failProperty(0);
    return S_OK;
}

HRESULT CWirran::put_HostName(BSTR value) {
    if (userMode()) {
        if (HRESULT hr = ensureInitialized(); FAILED(hr)) return hr;
    }
    m_state.hostAliases.clear();
    m_state.hostName = Bstr(bstrView(value));
    if (SysStringLen(value) == 0) return S_OK;
    m_state.hostAddress.reset();
    if (!userMode()) return S_OK;
    // A dotted address belongs in HostAddress; the name becomes its reverse lookup, if wanted.
    // A name that resolves nowhere leaves the address empty: the put itself never fails.
    const std::string name = bytesOf(value);
    uint32_t address;
    if (kvlink::parseDottedAddress(name, &address)) {
        m_state.hostAddress = Bstr::fromLatin1(kvlink::formatDottedAddress(address));
        m_state.hostName.reset();
        std::string reverse;
        if (m_state.autoResolve && kvlink::reverseLookup(address, &reverse))
            m_state.hostName = Bstr::fromLatin1(reverse);
    } else if (m_state.autoResolve && kvlink::resolveHostAddress(name, &address)) {
        m_state.hostAddress = Bstr::fromLatin1(kvlink::formatDottedAddress(address));
    }
    return S_OK;
}

HRESULT CWirran::get_LocalAddress(BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    uint32_t address = m_state.localAddress;
    if (hasSocket()) {
        kvlink::SocketSnapshot info;
        if (!kvlink::readSocket(m_socket, &info)) return failProperty(0);
        address = m_state.localAddress = info.localAddress;
    }
    if (address == 0) {
        // Nothing stored: the local host's first address, shown but not stored.
        std::string name;
        if (!kvlink::localHostName(&name) || !kvlink::resolveHostAddress(name, &address))
            return failProperty(0);
    }
    return setText(pVal, kvlink::formatDottedAddress(address));
}

HRESULT CWirran::put_LocalAddress(BSTR value) {
    if (hasSocket()) return CTL_E_SETNOTSUPPORTED;
    if (HRESULT hr = ensureInitialized(); FAILED(hr)) return hr;
    uint32_t address;
    if (!kvlink::parseDottedAddress(bytesOf(value), &address))
        return failProperty(wirranErrorHresult(wrErrorInvalidHostAddress));
    m_state.localAddress = address;
    return S_OK;
}

HRESULT CWirran::get_LocalName(BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    std::string name;
    if (!kvlink::localHostName(&name)) return failProperty(0);
    return setText(pVal, name);
}

HRESULT CWirran::get_LocalPort(LONG* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    if (hasSocket()) {
        kvlink::SocketSnapshot info;
        if (!kvlink::readSocket(m_socket, &info)) return failProperty(0);
        m_state.localPort = info.localPort;
    }
    *pVal = m_state.localPort;
    return S_OK;
}

HRESULT CWirran::put_LocalPort(LONG value) {
    if (hasSocket()) return CTL_E_SETNOTSUPPORTED;
    if (!validPort(value)) return CTL_E_INVALIDPROPERTYVALUE;
    m_state.localPort = value;
    return S_OK;
}

HRESULT CWirran::get_LocalService(BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    LONG port = m_state.localPort;
    if (hasSocket()) {
        kvlink::SocketSnapshot info;
        if (kvlink::readSocket(m_socket, &info)) port = info.localPort;
    }
    // A port without a service name reads empty; that is no failure.
    std::string name;
    if (port != 0) kvlink::portToService(port, &name);
    return setText(pVal, name);
}

HRESULT CWirran::put_LocalService(BSTR value) {
    if (hasSocket()) return CTL_E_SETNOTSUPPORTED;
    if (HRESULT hr = ensureInitialized(); FAILED(hr)) return hr;
    int32_t port;
    if (!kvlink::serviceToPort(bytesOf(value), &port)) return failProperty(0);
    m_state.localPort = port;
    return S_OK;
}

HRESULT CWirran::get_PeerAddress(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    if (HRESULT hr = designModeGet(); FAILED(hr)) return hr;
    if (!hasSocket()) return setText(pVal, "");
    kvlink::SocketSnapshot info;
    if (!kvlink::readSocket(m_socket, &info)) return failProperty(0);
    return setText(pVal, kvlink::formatDottedAddress(info.remoteAddress));
}

HRESULT CWirran::get_PeerName(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    if (HRESULT hr = designModeGet(); FAILED(hr)) return hr;
    if (!hasSocket() || !m_state.autoResolve) return setText(pVal, "");
    kvlink::SocketSnapshot info;
    if (!kvlink::readSocket(m_socket, &info)) return failProperty(0);
    std::string name;
    kvlink::reverseLookup(info.remoteAddress, &name);  // empty when the lookup fails
    return setText(pVal, name);
}

HRESULT CWirran::get_PeerPort(LONG* pVal) {
    if (!pVal) return E_POINTER;
    if (HRESULT hr = designModeGet(); FAILED(hr)) return hr;
    *pVal = 0;
    if (!hasSocket()) return S_OK;
    kvlink::SocketSnapshot info;
    if (!kvlink::readSocket(m_socket, &info)) return failProperty(0);
    *pVal = info.remotePort;
    return S_OK;
}

HRESULT CWirran::get_PhysicalAddress(BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    return setText(pVal, kvlink::physicalAddress());
}

HRESULT CWirran::get_PortString(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    if (HRESULT hr = designModeGet(); FAILED(hr)) return hr;
    if (!hasSocket()) return setText(pVal, "");
    kvlink::SocketSnapshot info;
    if (!kvlink::readSocket(m_socket, &info)) return failProperty(0);
    return setText(pVal, kvlink::formatPortString(info.localAddress, info.localPort));
}

HRESULT CWirran::put_RemotePort(LONG value) {
    if (hasSocket()) return CTL_E_SETNOTSUPPORTED;
    if (!validPort(value)) return CTL_E_INVALIDPROPERTYVALUE;
    m_state.remotePort = value;
    return S_OK;
}

HRESULT CWirran::get_RemoteService(BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    std::string name;
    if (m_state.remotePort != 0) kvlink::portToService(m_state.remotePort, &name);
    return setText(pVal, name);
}

HRESULT CWirran::put_RemoteService(BSTR value) {
    if (hasSocket()) return CTL_E_SETNOTSUPPORTED;
    if (HRESULT hr = ensureInitialized(); FAILED(hr)) return hr;
    int32_t port;
    if (!kvlink::serviceToPort(bytesOf(value), &port)) return failProperty(0);
    m_state.remotePort = port;
    return S_OK;
}

HRESULT CWirran::Resolve(VARIANT HostName, VARIANT* HostAddress, VARIANT, VARIANT* Error) {
    if (!Error || !HostAddress) return E_POINTER;
    Bstr name;
    if (HRESULT hr = optionalString(HostName, nullptr, &name); FAILED(hr)) return hr;
    if (HRESULT hr = ensureInitialized(); FAILED(hr))
        return initFailure(hr, Error, ResultKind::ErrorCode);
    uint32_t address;
    if (!kvlink::resolveHostAddress(name.latin1(), &address)) {
        // Unlike the other methods, Resolve raises no OnError.
        uint32_t reported = 0;
        HRESULT hr = ReportError(0, m_state.throwError != VARIANT_FALSE, false, &reported);
        writeFailure(Error, ResultKind::ErrorCode, reported);
        return hr;
    }
    // A host passes a script variable as a reference to a VARIANT; the rules apply to the
    // VARIANT it refers to.
    VARIANT* target = HostAddress;
    if (target->vt == (VT_BYREF | VT_VARIANT) && target->pvarVal) target = target->pvarVal;
    const std::string dotted = kvlink::formatDottedAddress(address);
    if (target->vt == (VT_BYREF | VT_I4)) {
        *target->plVal = static_cast<LONG>(address);
    } else if (target->vt == (VT_BYREF | VT_BSTR)) {
        SysFreeString(*target->pbstrVal);
        *target->pbstrVal = bstrFromLatin1(dotted);
    } else if (target->vt & VT_BYREF) {
        return DISP_E_TYPEMISMATCH;
    } else {
        VariantClear(target);
        target->vt = VT_BSTR;
        target->bstrVal = bstrFromLatin1(dotted);
    }
    setLongResult(Error, 0);
    return S_OK;
}
