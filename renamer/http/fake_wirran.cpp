// The socket control's test double: plain blocking POSIX sockets behind the control's member
// names. Test code only.
#include "renamer/http/fake_wirran.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vantel {

namespace {

// The control's error codes for what the double can run into.
constexpr LONG kErrorTimeout = 10060;       // wrErrorOperationTimeout
constexpr LONG kErrorRefused = 10061;       // wrErrorConnectionRefused
constexpr LONG kErrorReset = 10054;         // wrErrorConnectionReset
constexpr LONG kErrorNotConnected = 10057;  // wrErrorNotConnected
constexpr LONG kErrorHostName = 11001;      // wrErrorInvalidHostName
constexpr LONG kErrorParameter = 10014;     // wrErrorInvalidParameter

const char16_t* errorText(LONG code) {
    switch (code) {
        case kErrorTimeout:
            return u"The specified operation has timed out";
        case kErrorRefused:
            return u"The connection has been refused by the remote host";
        case kErrorReset:
            return u"The connection has been reset by the remote host";
        case kErrorNotConnected:
            return u"No connection established with remote host";
        case kErrorHostName:
            return u"The specified host name is invalid or could not be resolved";
        default:
            return u"Undefined control error";
    }
}

const char* const kConnectArgs[] = {"RemoteAddress", "RemotePort",   "Protocol", "Timeout",
                                    "Options",       "LocalAddress", "LocalPort"};
const char* const kReadArgs[] = {"Buffer", "Length", "Options", "RemoteAddress", "RemotePort"};
const char* const kWriteArgs[] = {"Buffer", "Length", "Options", "RemoteAddress", "RemotePort"};

// The control's DISPIDs for these members.
const DispMember kMembers[] = {
    dispGet<&IFakeWirran::get_AutoResolve>("AutoResolve", 4),
    dispPut<&IFakeWirran::put_AutoResolve>("AutoResolve", 4),
    dispGet<&IFakeWirran::get_Blocking>("Blocking", 6),
    dispPut<&IFakeWirran::put_Blocking>("Blocking", 6),
    dispGet<&IFakeWirran::get_CertificateStatus>("CertificateStatus", 13),
    dispGet<&IFakeWirran::get_LastError>("LastError", 32),
    dispPut<&IFakeWirran::put_LastError>("LastError", 32),
    dispGet<&IFakeWirran::get_LastErrorString>("LastErrorString", 33),
    dispGet<&IFakeWirran::get_Secure>("Secure", 55),
    dispPut<&IFakeWirran::put_Secure>("Secure", 55),
    dispGet<&IFakeWirran::get_Timeout>("Timeout", 62),
    dispPut<&IFakeWirran::put_Timeout>("Timeout", 62),
    dispMethod<&IFakeWirran::Connect>("Connect", 75, 0, kConnectArgs),
    dispMethod<&IFakeWirran::Disconnect>("Disconnect", 76),
    dispMethod<&IFakeWirran::Read>("Read", 81, 1, kReadArgs),
    dispMethod<&IFakeWirran::Write>("Write", 92, 1, kWriteArgs),
};

void setLong(VARIANT* out, LONG value) {
    VariantClear(out);
    out->vt = VT_I4;
    out->lVal = value;
}

// An optional numeric argument: fallback when absent; false when it is no number.
bool optionalLong(const VARIANT& arg, LONG fallback, LONG* value) {
    if (isMissingArg(&arg)) {
        *value = fallback;
        return true;
    }
    Variant v;
    if (FAILED(VariantChangeType(&v, &arg, 0, VT_I4))) return false;
    *value = v.lVal;
    return true;
}

}  // namespace

FakeWirran::~FakeWirran() {
    closeSocket();
}

HRESULT FakeWirran::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT FakeWirran::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return dispTableGetIDsOfNames(kMembers, riid, names, count, ids);
}

HRESULT FakeWirran::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    return dispTableInvoke(kMembers, static_cast<IFakeWirran*>(this), id, riid, 0, flags, params,
                           result, excep, argErr);
}

HRESULT FakeWirran::get_AutoResolve(VARIANT_BOOL* pVal) {
    *pVal = m_autoResolve;
    return S_OK;
}
HRESULT FakeWirran::put_AutoResolve(VARIANT_BOOL value) {
    m_calls.push_back("AutoResolve=" + std::to_string(value));
    m_autoResolve = value;
    return S_OK;
}
HRESULT FakeWirran::get_Blocking(VARIANT_BOOL* pVal) {
    *pVal = m_blocking;
    return S_OK;
}
HRESULT FakeWirran::put_Blocking(VARIANT_BOOL value) {
    m_calls.push_back("Blocking=" + std::to_string(value));
    m_blocking = value;
    return S_OK;
}
HRESULT FakeWirran::get_Timeout(LONG* pVal) {
    *pVal = m_timeout;
    return S_OK;
}
HRESULT FakeWirran::put_Timeout(LONG value) {
    m_calls.push_back("Timeout=" + std::to_string(value));
    m_timeout = value;
    return S_OK;
}
HRESULT FakeWirran::get_Secure(VARIANT_BOOL* pVal) {
    *pVal = m_secure;
    return S_OK;
}
HRESULT FakeWirran::put_Secure(VARIANT_BOOL value) {
    m_calls.push_back("Secure=" + std::to_string(value));
    // No TLS here: only a pretended secure channel can be switched on.
    if (value && !m_pretendSecure) return E_NOTIMPL;
    m_secure = value;
    return S_OK;
}
HRESULT FakeWirran::get_CertificateStatus(LONG* pVal) {
    *pVal = (m_socket >= 0 && m_secure) ? m_certificateStatus : 0;
    return S_OK;
}
HRESULT FakeWirran::get_LastError(LONG* pVal) {
    *pVal = m_lastError & 0xFFFF;
    return S_OK;
}
HRESULT FakeWirran::put_LastError(LONG value) {
    m_lastError = value;
    return S_OK;
}
HRESULT FakeWirran::get_LastErrorString(BSTR* pVal) {
    *pVal = SysAllocString(errorText(m_lastError & 0xFFFF));
    return S_OK;
}

int FakeWirran::count(const std::string& call) const {
    return static_cast<int>(
        std::count_if(m_calls.begin(), m_calls.end(),
                      [&](const std::string& c) { return c.compare(0, call.size(), call) == 0; }));
}

LONG FakeWirran::fail(LONG code) {
    m_lastError = code;
    return code;
}

void FakeWirran::closeSocket() {
    if (m_socket >= 0) ::close(m_socket);
    m_socket = -1;
}

bool FakeWirran::waitFor(short events, LONG seconds) {
    pollfd p{m_socket, events, 0};
    int ms = seconds > 0 ? static_cast<int>(seconds) * 1000 : -1;
    int n;
    do {
        n = ::poll(&p, 1, ms);
    } while (n < 0 && errno == EINTR);
    if (n == 0) fail(kErrorTimeout);
    if (n < 0) fail(kErrorReset);
    return n > 0;
}

HRESULT FakeWirran::Connect(VARIANT RemoteAddress, VARIANT RemotePort, VARIANT Protocol, VARIANT,
                            VARIANT, VARIANT, VARIANT, VARIANT* Error) {
    closeSocket();
    Variant host;
    LONG port = 0, protocol = 6;
    if (FAILED(VariantChangeType(&host, &RemoteAddress, 0, VT_BSTR)) ||
        !optionalLong(RemotePort, 0, &port) || !optionalLong(Protocol, 6, &protocol))
        return E_INVALIDARG;
    std::string name = bstrToLatin1(host.bstrVal);
    m_calls.push_back("Connect " + name + ":" + std::to_string(port));
    if (protocol != 6 || port <= 0 || port > 65535) {
        setLong(Error, fail(kErrorParameter));
        return S_OK;
    }

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (name.empty() || ::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found) {
        setLong(Error, fail(kErrorHostName));
        return S_OK;
    }
    sockaddr_in address;
    std::memcpy(&address, found->ai_addr, sizeof address);
    ::freeaddrinfo(found);
    address.sin_port = htons(static_cast<uint16_t>(port));

    m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int flags = ::fcntl(m_socket, F_GETFL);
    ::fcntl(m_socket, F_SETFL, flags | O_NONBLOCK);
    LONG code = 0;
    if (::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) {
            code = kErrorRefused;
        } else if (!waitFor(POLLOUT, m_timeout > 0 ? m_timeout : 60)) {
            code = m_lastError;
        } else {
            int pending = 0;
            socklen_t size = sizeof pending;
            ::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &pending, &size);
            if (pending != 0) code = kErrorRefused;
        }
    }
    if (code != 0) {
        closeSocket();
        setLong(Error, fail(code));
        return S_OK;
    }
    ::fcntl(m_socket, F_SETFL, flags);
    setLong(Error, 0);
    return S_OK;
}

HRESULT FakeWirran::Disconnect(VARIANT* Error) {
    m_calls.push_back("Disconnect");
    closeSocket();
    setLong(Error, 0);
    return S_OK;
}

HRESULT FakeWirran::Read(VARIANT* Buffer, VARIANT Length, VARIANT Options, VARIANT*, VARIANT*,
                         VARIANT* Result) {
    m_calls.push_back("Read");
    LONG length = 0, options = 0;
    if (!Buffer || !optionalLong(Length, 8192, &length) || !optionalLong(Options, 0, &options) ||
        options != 0 || length <= 0)
        return E_INVALIDARG;
    if (m_socket < 0) {
        setLong(Result, -1);
        fail(kErrorNotConnected);
        return S_OK;
    }
    if (!waitFor(POLLIN, m_timeout)) {
        setLong(Result, -1);
        return S_OK;
    }
    std::string data(static_cast<size_t>(length), '\0');
    ssize_t n;
    do {
        n = ::recv(m_socket, data.data(), data.size(), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        setLong(Result, -1);
        fail(kErrorReset);
        return S_OK;
    }
    data.resize(static_cast<size_t>(n));
    VariantClear(Buffer);
    Buffer->vt = VT_BSTR;
    Buffer->bstrVal = bstrFromLatin1(data);
    setLong(Result, static_cast<LONG>(n));
    return S_OK;
}

HRESULT FakeWirran::Write(VARIANT Buffer, VARIANT Length, VARIANT Options, VARIANT, VARIANT,
                          VARIANT* Result) {
    m_calls.push_back("Write");
    Variant text;
    LONG options = 0;
    if (FAILED(VariantChangeType(&text, &Buffer, 0, VT_BSTR)) ||
        !optionalLong(Options, 0, &options) || options != 0)
        return E_INVALIDARG;
    std::string data = bstrToLatin1(text.bstrVal);
    LONG length = static_cast<LONG>(data.size());
    if (!optionalLong(Length, length, &length)) return E_INVALIDARG;
    data.resize(std::min(data.size(), static_cast<size_t>(std::max<LONG>(length, 0))));
    m_writes.push_back(data);
    if (m_socket < 0) {
        setLong(Result, -1);
        fail(kErrorNotConnected);
        return S_OK;
    }
    if (!waitFor(POLLOUT, m_timeout)) {
        setLong(Result, -1);
        return S_OK;
    }
    ssize_t n = ::send(m_socket, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0) {
        setLong(Result, -1);
        fail(kErrorReset);
        return S_OK;
    }
    setLong(Result, static_cast<LONG>(n));
    return S_OK;
}

FakeHost::FakeHost() : wirran(makeComObject<FakeWirran>()) {}

IDispatch* FakeHost::control(const std::string& name) {
    return hostsControl && name == "Wirran1" ? static_cast<IDispatch*>(wirran.get()) : nullptr;
}

}  // namespace vantel
