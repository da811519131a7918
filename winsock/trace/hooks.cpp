// The TX_* hooks: one trace line per network call, written after the call with its result.

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "winsock/trace/exports.h"
#include "winsock/trace/trace_format.h"
#include "winsock/trace/trace_state.h"

namespace kvtrace {
namespace {

std::string formatPointer(const void* pointer) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", pointer);
    return text;
}

// A call's line: "name(arg=value, ...) = result", then " error N NAME" for a failure, and the
// data of a send or receive as a hex dump when dumps are wanted.
class CallLine {
  public:
    explicit CallLine(const char* function) : m_text(function) { m_text += "("; }

    CallLine& arg(const char* name, const std::string& value) {
        if (m_count++ > 0) m_text += ", ";
        m_text += name;
        m_text += "=";
        m_text += value;
        return *this;
    }
    CallLine& number(const char* name, long long value) { return arg(name, std::to_string(value)); }
    CallLine& hex(const char* name, unsigned long value) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%lx", value);
        return arg(name, text);
    }
    CallLine& socket(SOCKET s) { return arg("s", formatSocket(s)); }
    // The window and message a reply or notification is posted to.
    CallLine& window(HWND hwnd, u_int msg) {
        return arg("hwnd", formatPointer(hwnd)).number("msg", msg);
    }
    // An address the call filled: shown only after a success, with the length it was given.
    CallLine& filledAddress(const char* name, bool succeeded, const sockaddr* address,
                            const int* len) {
        if (!succeeded || !address || !len) return arg(name, address ? "?" : "null");
        return arg(name, formatAddress(address, *len));
    }
    CallLine& data(const char* bytes, int size) {
        m_dump = bytes;
        m_dumpSize = size;
        return *this;
    }

    void write(bool failed, const std::string& result) {
        int error = failed ? lastError() : 0;
        LineKind kind = LineKind::Info;
        if (failed) {
            bool waiting =
                error == WSAEWOULDBLOCK || error == WSAEINPROGRESS || error == WSAEALREADY;
            kind = waiting ? LineKind::Warning : LineKind::Error;
        }
        if (!wanted(kind)) return;
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::string record = linePrefix(now, gettid()) + m_text + ") = " + result;
        if (failed) {
            record += " error " + std::to_string(error);
            if (const char* name = errorName(error); *name) record += std::string(" ") + name;
        }
        record += "\n";
        if (m_dump && m_dumpSize > 0 && dumpWanted()) {
            record += hexDump(m_dump, static_cast<size_t>(m_dumpSize));
        }
        writeRecord(record);
        // Writing must not change what the caller reads from WSAGetLastError next.
        if (failed) restoreError(error);
    }

    void write(int result) { write(result == SOCKET_ERROR, std::to_string(result)); }
    void write(SOCKET result) { write(result == INVALID_SOCKET, formatSocket(result)); }
    void writeHandle(HANDLE result) {
        write(result == nullptr, result ? formatPointer(result) : "NULL");
    }

  private:
    std::string m_text;
    int m_count = 0;
    const char* m_dump = nullptr;
    int m_dumpSize = 0;
};

std::string formatHost(const hostent* host) {
    if (!host) return "NULL";
    std::string text = formatText(host->h_name) + " [";
    for (char** address = host->h_addr_list; address && *address; ++address) {
        if (address != host->h_addr_list) text += ",";
        if (host->h_addrtype == AF_INET && host->h_length == 4) {
            text += formatInAddr(*reinterpret_cast<const in_addr*>(*address));
        } else {
            text += "?";
        }
    }
    return text + "]";
}

std::string formatService(const servent* service) {
    if (!service) return "NULL";
    auto port = static_cast<uint16_t>(service->s_port);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&port);
    return formatText(service->s_name) + " port " + std::to_string((bytes[0] << 8) | bytes[1]) +
           " " + formatText(service->s_proto);
}

std::string formatProtocol(const protoent* protocol) {
    if (!protocol) return "NULL";
    return formatText(protocol->p_name) + " " + std::to_string(protocol->p_proto);
}

std::string formatOption(const char* value, int len) {
    if (!value) return "null";
    if (len == static_cast<int>(sizeof(int))) {
        int number = 0;
        __builtin_memcpy(&number, value, sizeof number);
        return std::to_string(number);
    }
    return std::to_string(len) + " bytes";
}

bool off() {
    return !active();
}

}  // namespace
}  // namespace kvtrace

using kvtrace::CallLine;

void TX_accept(SOCKET result, SOCKET s, sockaddr* addr, int* addrlen) {
    if (kvtrace::off()) return;
    CallLine("accept")
        .socket(s)
        .filledAddress("addr", result != INVALID_SOCKET, addr, addrlen)
        .write(result);
}

void TX_bind(int result, SOCKET s, const sockaddr* name, int namelen) {
    if (kvtrace::off()) return;
    CallLine("bind")
        .socket(s)
        .arg("addr", kvtrace::formatAddress(name, namelen))
        .number("len", namelen)
        .write(result);
}

void TX_closesocket(int result, SOCKET s) {
    if (kvtrace::off()) return;
    CallLine("closesocket").socket(s).write(result);
}

void TX_connect(int result, SOCKET s, const sockaddr* name, int namelen) {
    if (kvtrace::off()) return;
    CallLine("connect")
        .socket(s)
        .arg("addr", kvtrace::formatAddress(name, namelen))
        .number("len", namelen)
        .write(result);
}

void TX_ioctlsocket(int result, SOCKET s, long cmd, u_long* argp) {
    if (kvtrace::off()) return;
    const char* command = cmd == FIONBIO      ? "FIONBIO"
                          : cmd == FIONREAD   ? "FIONREAD"
                          : cmd == SIOCATMARK ? "SIOCATMARK"
                                              : nullptr;
    CallLine line("ioctlsocket");
    line.socket(s);
    if (command) {
        line.arg("cmd", command);
    } else {
        line.hex("cmd", static_cast<unsigned long>(cmd));
    }
    line.arg("arg", argp ? std::to_string(*argp) : "null").write(result);
}

void TX_getpeername(int result, SOCKET s, sockaddr* name, int* namelen) {
    if (kvtrace::off()) return;
    CallLine("getpeername")
        .socket(s)
        .filledAddress("addr", result == 0, name, namelen)
        .write(result);
}

void TX_getsockname(int result, SOCKET s, sockaddr* name, int* namelen) {
    if (kvtrace::off()) return;
    CallLine("getsockname")
        .socket(s)
        .filledAddress("addr", result == 0, name, namelen)
        .write(result);
}

void TX_getsockopt(int result, SOCKET s, int level, int optname, char* optval, int* optlen) {
    if (kvtrace::off()) return;
    CallLine line("getsockopt");
    line.socket(s)
        .hex("level", static_cast<unsigned>(level))
        .hex("opt", static_cast<unsigned>(optname));
    if (result == 0 && optlen) {
        line.arg("value", kvtrace::formatOption(optval, *optlen));
    }
    line.write(result);
}

void TX_listen(int result, SOCKET s, int backlog) {
    if (kvtrace::off()) return;
    CallLine("listen").socket(s).number("backlog", backlog).write(result);
}

void TX_recv(int result, SOCKET s, char* buf, int len, int flags) {
    if (kvtrace::off()) return;
    CallLine("recv")
        .socket(s)
        .number("len", len)
        .hex("flags", static_cast<unsigned>(flags))
        .data(buf, result)
        .write(result);
}

void TX_recvfrom(int result, SOCKET s, char* buf, int len, int flags, sockaddr* from,
                 int* fromlen) {
    if (kvtrace::off()) return;
    CallLine("recvfrom")
        .socket(s)
        .number("len", len)
        .hex("flags", static_cast<unsigned>(flags))
        .filledAddress("from", result >= 0, from, fromlen)
        .data(buf, result)
        .write(result);
}

void TX_select(int result, int nfds, FD_SET* readfds, FD_SET* writefds, FD_SET* exceptfds,
               const timeval* timeout) {
    if (kvtrace::off()) return;
    // The sets are shown as the call left them: the sockets found ready.
    CallLine("select")
        .number("nfds", nfds)
        .arg("read", kvtrace::formatSet(readfds))
        .arg("write", kvtrace::formatSet(writefds))
        .arg("except", kvtrace::formatSet(exceptfds))
        .arg("timeout", kvtrace::formatTimeout(timeout))
        .write(result);
}

void TX_send(int result, SOCKET s, const char* buf, int len, int flags) {
    if (kvtrace::off()) return;
    CallLine("send")
        .socket(s)
        .number("len", len)
        .hex("flags", static_cast<unsigned>(flags))
        .data(buf, result < len ? result : len)
        .write(result);
}

void TX_sendto(int result, SOCKET s, const char* buf, int len, int flags, const sockaddr* to,
               int tolen) {
    if (kvtrace::off()) return;
    CallLine("sendto")
        .socket(s)
        .number("len", len)
        .hex("flags", static_cast<unsigned>(flags))
        .arg("to", kvtrace::formatAddress(to, tolen))
        .data(buf, result < len ? result : len)
        .write(result);
}

void TX_setsockopt(int result, SOCKET s, int level, int optname, const char* optval, int optlen) {
    if (kvtrace::off()) return;
    CallLine("setsockopt")
        .socket(s)
        .hex("level", static_cast<unsigned>(level))
        .hex("opt", static_cast<unsigned>(optname))
        .arg("value", kvtrace::formatOption(optval, optlen))
        .write(result);
}

void TX_shutdown(int result, SOCKET s, int how) {
    if (kvtrace::off()) return;
    CallLine("shutdown").socket(s).number("how", how).write(result);
}

void TX_socket(SOCKET result, int af, int type, int protocol) {
    if (kvtrace::off()) return;
    CallLine("socket")
        .number("af", af)
        .number("type", type)
        .number("protocol", protocol)
        .write(result);
}

void TX_gethostbyaddr(hostent* result, const char* addr, int len, int type) {
    if (kvtrace::off()) return;
    std::string address = "null";
    if (addr && len == 4 && type == AF_INET) {
        address = kvtrace::formatInAddr(*reinterpret_cast<const in_addr*>(addr));
    }
    CallLine("gethostbyaddr")
        .arg("addr", address)
        .number("len", len)
        .number("type", type)
        .write(result == nullptr, kvtrace::formatHost(result));
}

void TX_gethostbyname(hostent* result, const char* name) {
    if (kvtrace::off()) return;
    CallLine("gethostbyname")
        .arg("name", kvtrace::formatText(name))
        .write(result == nullptr, kvtrace::formatHost(result));
}

void TX_gethostname(int result, char* name, int namelen) {
    if (kvtrace::off()) return;
    CallLine("gethostname")
        .arg("name", result == 0 ? kvtrace::formatText(name) : "?")
        .number("len", namelen)
        .write(result);
}

void TX_getservbyport(servent* result, int port, const char* proto) {
    if (kvtrace::off()) return;
    auto networkPort = static_cast<uint16_t>(port);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&networkPort);
    CallLine("getservbyport")
        .number("port", (bytes[0] << 8) | bytes[1])
        .arg("proto", kvtrace::formatText(proto))
        .write(result == nullptr, kvtrace::formatService(result));
}

void TX_getservbyname(servent* result, const char* name, const char* proto) {
    if (kvtrace::off()) return;
    CallLine("getservbyname")
        .arg("name", kvtrace::formatText(name))
        .arg("proto", kvtrace::formatText(proto))
        .write(result == nullptr, kvtrace::formatService(result));
}

void TX_getprotobynumber(protoent* result, int number) {
    if (kvtrace::off()) return;
    CallLine("getprotobynumber")
        .number("number", number)
        .write(result == nullptr, kvtrace::formatProtocol(result));
}

void TX_getprotobyname(protoent* result, const char* name) {
    if (kvtrace::off()) return;
    CallLine("getprotobyname")
        .arg("name", kvtrace::formatText(name))
        .write(result == nullptr, kvtrace::formatProtocol(result));
}

void TX_WSAAsyncGetServByName(HANDLE result, HWND hwnd, u_int msg, const char* name,
                              const char* proto, char* buf, int buflen) {
    if (kvtrace::off()) return;
    CallLine("WSAAsyncGetServByName")
        .window(hwnd, msg)
        .arg("name", kvtrace::formatText(name))
        .arg("proto", kvtrace::formatText(proto))
        .number("buflen", buflen)
        .writeHandle(result);
}

void TX_WSAAsyncGetServByPort(HANDLE result, HWND hwnd, u_int msg, int port, const char* proto,
                              char* buf, int buflen) {
    if (kvtrace::off()) return;
    CallLine("WSAAsyncGetServByPort")
        .window(hwnd, msg)
        .number("port", port)
        .arg("proto", kvtrace::formatText(proto))
        .number("buflen", buflen)
        .writeHandle(result);
}

void TX_WSAAsyncGetProtoByName(HANDLE result, HWND hwnd, u_int msg, const char* name, char* buf,
                               int buflen) {
    if (kvtrace::off()) return;
    CallLine("WSAAsyncGetProtoByName")
        .window(hwnd, msg)
        .arg("name", kvtrace::formatText(name))
        .number("buflen", buflen)
        .writeHandle(result);
}

void TX_WSAAsyncGetProtoByNumber(HANDLE result, HWND hwnd, u_int msg, int number, char* buf,
                                 int buflen) {
    if (kvtrace::off()) return;
    CallLine("WSAAsyncGetProtoByNumber")
        .window(hwnd, msg)
        .number("number", number)
        .number("buflen", buflen)
        .writeHandle(result);
}

void TX_WSAAsyncGetHostByName(HANDLE result, HWND hwnd, u_int msg, const char* name, char* buf,
                              int buflen) {
    if (kvtrace::off()) return;
    CallLine("WSAAsyncGetHostByName")
        .window(hwnd, msg)
        .arg("name", kvtrace::formatText(name))
        .number("buflen", buflen)
        .writeHandle(result);
}

void TX_WSAAsyncGetHostByAddr(HANDLE result, HWND hwnd, u_int msg, const char* addr, int len,
                              int type, char* buf, int buflen) {
    if (kvtrace::off()) return;
    std::string address = "null";
    if (addr && len == 4 && type == AF_INET) {
        address = kvtrace::formatInAddr(*reinterpret_cast<const in_addr*>(addr));
    }
    CallLine("WSAAsyncGetHostByAddr")
        .window(hwnd, msg)
        .arg("addr", address)
        .number("len", len)
        .number("type", type)
        .number("buflen", buflen)
        .writeHandle(result);
}

void TX_WSACancelAsyncRequest(int result, HANDLE request) {
    if (kvtrace::off()) return;
    CallLine("WSACancelAsyncRequest").arg("request", kvtrace::formatPointer(request)).write(result);
}

void TX_WSAAsyncSelect(int result, SOCKET s, HWND hwnd, u_int msg, long events) {
    if (kvtrace::off()) return;
    CallLine("WSAAsyncSelect")
        .socket(s)
        .window(hwnd, msg)
        .arg("events", kvtrace::formatEvents(events))
        .write(result);
}

void TX_WSAEventSelect(int result, SOCKET s, WSAEVENT event, long events) {
    if (kvtrace::off()) return;
    CallLine("WSAEventSelect")
        .socket(s)
        .arg("event", kvtrace::formatPointer(event))
        .arg("events", kvtrace::formatEvents(events))
        .write(result);
}

void TX_WSAEnumNetworkEvents(int result, SOCKET s, WSAEVENT event,
                             LPWSANETWORKEVENTS networkEvents) {
    if (kvtrace::off()) return;
    CallLine line("WSAEnumNetworkEvents");
    line.socket(s).arg("event", kvtrace::formatPointer(event));
    if (result == 0 && networkEvents) {
        line.arg("events", kvtrace::formatEvents(networkEvents->lNetworkEvents));
    }
    line.write(result);
}

void TX_WSAIoctl(int result, SOCKET s, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* bytesReturned, LPWSAOVERLAPPED overlapped,
                 LPWSAOVERLAPPED_COMPLETION_ROUTINE completion) {
    if (kvtrace::off()) return;
    CallLine line("WSAIoctl");
    line.socket(s).hex("code", code).number("in", inSize).number("out", outSize);
    if (result == 0 && bytesReturned) line.number("returned", *bytesReturned);
    line.write(result);
}
