// Names, addresses, ports and services: the host, the local and remote side, the peer, the
// local adapters, the external address, and Resolve.
//
// The socket layer's resolver does the connect's name lookup, but the members that resolve,
// parse or list addresses on their own are still to come (PENDING in the member list). What
// needs no resolver (the stored values, the range checks, the empty peer of a control without a
// socket) is answered here; a member that must resolve or parse an address starts the network
// library first and then ends in socketLayerProperty/socketLayerMethod, where the resolver's
// calls go.

#include "winsock/ocx/arguments.h"
#include "winsock/ocx/wirran.h"

namespace {

bool validPort(LONG port) {
    return port >= 1 && port <= 65535;
}

}  // namespace

HRESULT CWirran::get_AdapterAddress(VARIANT, BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    return socketLayerProperty();  // Resolver: the adapter address cache.
}

HRESULT CWirran::get_AdapterCount(LONG* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    return socketLayerProperty();  // Resolver: refresh the adapter cache.
}

HRESULT CWirran::get_ExternalAddress(BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    return socketLayerProperty();  // Socket layer: the external-address lookup.
}

HRESULT CWirran::put_HostAddress(BSTR value) {
    m_state.hostAliases.clear();
    if (SysStringLen(value) == 0) return S_OK;
    m_state.hostName.reset();
    // In design mode the address is not stored.
    if (!userMode()) return S_OK;
    if (HRESULT hr = ensureInitialized(); FAILED(hr)) return hr;
    return socketLayerProperty();  // Resolver: parse, store the normalised form, reverse lookup.
}

HRESULT CWirran::get_HostAlias(VARIANT, BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    return socketLayerProperty();  // Resolver: build the alias list of the host.
}

HRESULT CWirran::get_HostFile(BSTR* pVal) {
    // Resolver: the path of the host table in use. No table can be loaded yet, so none is.
    return getString(pVal, Bstr());
}

HRESULT CWirran::put_HostFile(BSTR value) {
    // An empty name unloads the table, and there is none loaded.
    if (SysStringLen(value) == 0) return S_OK;
    return socketLayerProperty();  // Resolver: load the host table file.
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
    return socketLayerProperty();  // Resolver: a dotted address or, with AutoResolve, a lookup.
}

HRESULT CWirran::get_LocalAddress(BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    return socketLayerProperty();  // Resolver: the socket's, the stored or the local host's.
}

HRESULT CWirran::put_LocalAddress(BSTR) {
    if (hasSocket()) return CTL_E_SETNOTSUPPORTED;
    if (HRESULT hr = ensureInitialized(); FAILED(hr)) return hr;
    return socketLayerProperty();  // Resolver: parse the dotted address and store it.
}

HRESULT CWirran::get_LocalName(BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    return socketLayerProperty();  // Resolver: the local host name.
}

HRESULT CWirran::get_LocalPort(LONG* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    if (hasSocket()) return socketLayerProperty();  // Socket layer: the socket's local port.
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
    if (!hasSocket() && m_state.localPort == 0) {
        *pVal = nullptr;  // no port, no service name
        return S_OK;
    }
    return socketLayerProperty();  // Resolver: the service name of the port.
}

HRESULT CWirran::put_LocalService(BSTR) {
    if (hasSocket()) return CTL_E_SETNOTSUPPORTED;
    if (HRESULT hr = ensureInitialized(); FAILED(hr)) return hr;
    return socketLayerProperty();  // Resolver: a service name or number to a port.
}

HRESULT CWirran::get_PeerAddress(BSTR* pVal) {
    if (hasSocket()) return socketLayerGet();  // Socket layer: the connected peer's address.
    return getString(pVal, Bstr());
}

HRESULT CWirran::get_PeerName(BSTR* pVal) {
    if (hasSocket()) return socketLayerGet();  // Resolver: reverse lookup of the peer.
    return getString(pVal, Bstr());
}

HRESULT CWirran::get_PeerPort(LONG* pVal) {
    if (hasSocket()) return socketLayerGet();  // Socket layer: the connected peer's port.
    return getValue(pVal, LONG{0});
}

HRESULT CWirran::get_PhysicalAddress(BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    return socketLayerProperty();  // Resolver: the first adapter's hardware address.
}

HRESULT CWirran::get_PortString(BSTR* pVal) {
    if (hasSocket()) return socketLayerGet();  // Socket layer: the local address and port.
    return getString(pVal, Bstr());
}

HRESULT CWirran::put_RemotePort(LONG value) {
    if (hasSocket()) return CTL_E_SETNOTSUPPORTED;
    if (!validPort(value)) return CTL_E_INVALIDPROPERTYVALUE;
    m_state.remotePort = value;
    return S_OK;
}

HRESULT CWirran::get_RemoteService(BSTR* pVal) {
    if (HRESULT hr = libraryGet(pVal); FAILED(hr)) return hr;
    if (m_state.remotePort == 0) {
        *pVal = nullptr;
        return S_OK;
    }
    return socketLayerProperty();  // Resolver: the service name of the port.
}

HRESULT CWirran::put_RemoteService(BSTR) {
    if (hasSocket()) return CTL_E_SETNOTSUPPORTED;
    if (HRESULT hr = ensureInitialized(); FAILED(hr)) return hr;
    return socketLayerProperty();  // Resolver: a service name or number to a port.
}

HRESULT CWirran::Resolve(VARIANT HostName, VARIANT*, VARIANT, VARIANT* Error) {
    if (!Error) return E_POINTER;
    Bstr name;
    if (HRESULT hr = optionalString(HostName, nullptr, &name); FAILED(hr)) return hr;
    if (HRESULT hr = ensureInitialized(); FAILED(hr))
        return initFailure(hr, Error, ResultKind::ErrorCode);
    // Resolver: look the name up and write the address; Resolve reports without OnError.
    return socketLayerMethod(Error, ResultKind::ErrorCode, false);
}
