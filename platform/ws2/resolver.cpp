// The database calls: gethostbyname, gethostbyaddr, gethostname, getservbyname, getservbyport,
// getprotobyname and getprotobynumber. Each result lives in a buffer of the calling thread, one
// per kind of entry, until that thread's next call of the same kind.

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/ws2/api.h"
#include "platform/ws2/errors.h"
#include "platform/ws2/exports.h"
#include "platform/ws2/lookup.h"
#include "platform/ws2/pack.h"
#include "platform/ws2/sys.h"

namespace ws2 {
namespace {

// A thread's result buffer; operator new's alignment suits the pointers packed into it.
template <typename Record, typename Entry>
Entry* keep(std::vector<char>& buffer, const Record& record,
            size_t (*pack)(const Record&, char*, size_t)) {
    buffer.resize(pack(record, nullptr, 0));
    pack(record, buffer.data(), buffer.size());
    return reinterpret_cast<Entry*>(buffer.data());
}

hostent* keepHost(const lookup::HostRecord& record) {
    thread_local std::vector<char> buffer;
    return keep<lookup::HostRecord, hostent>(buffer, record, packHost);
}

servent* keepService(const lookup::ServiceRecord& record) {
    thread_local std::vector<char> buffer;
    return keep<lookup::ServiceRecord, servent>(buffer, record, packService);
}

protoent* keepProtocol(const lookup::ProtocolRecord& record) {
    thread_local std::vector<char> buffer;
    return keep<lookup::ProtocolRecord, protoent>(buffer, record, packProtocol);
}

template <typename T>
T* failNull(int error) {
    fail(error);
    return nullptr;
}

}  // namespace
}  // namespace ws2

using namespace ws2;

hostent* wsGethostbyname(const char* name) {
    if (!requireStarted()) return nullptr;
    // No name, or an empty one, means this machine, as on Windows.
    lookup::HostRecord record;
    if (int error = lookup::hostByName(name ? name : "", &record)) return failNull<hostent>(error);
    return keepHost(record);
}

hostent* wsGethostbyaddr(const char* addr, int len, int type) {
    if (!requireStarted()) return nullptr;
    if (!addr) return failNull<hostent>(WSAEFAULT);
    if (type != AF_INET) return failNull<hostent>(WSAEAFNOSUPPORT);
    if (len < 4) return failNull<hostent>(WSAEFAULT);
    uint32_t address;
    std::memcpy(&address, addr, sizeof address);
    lookup::HostRecord record;
    if (int error = lookup::hostByAddress(address, &record)) return failNull<hostent>(error);
    return keepHost(record);
}

int wsGethostname(char* name, int namelen) {
    if (!requireStarted()) return SOCKET_ERROR;
    if (!name || namelen <= 0) return fail(WSAEFAULT);
    // A buffer too small for the whole name is WSAEFAULT on Windows.
    if (sys::hostName(name, static_cast<size_t>(namelen)) != 0) {
        return fail(errno == ENAMETOOLONG ? WSAEFAULT : wsaErrorFromErrno(errno));
    }
    return 0;
}

servent* wsGetservbyname(const char* name, const char* proto) {
    if (!requireStarted()) return nullptr;
    if (!name) return failNull<servent>(WSAEFAULT);
    lookup::ServiceRecord record;
    if (int error = lookup::serviceByName(name, proto ? proto : "", &record)) {
        return failNull<servent>(error);
    }
    return keepService(record);
}

servent* wsGetservbyport(int port, const char* proto) {
    if (!requireStarted()) return nullptr;
    lookup::ServiceRecord record;
    if (int error =
            lookup::serviceByPort(static_cast<uint16_t>(port), proto ? proto : "", &record)) {
        return failNull<servent>(error);
    }
    return keepService(record);
}

protoent* wsGetprotobyname(const char* name) {
    if (!requireStarted()) return nullptr;
    if (!name) return failNull<protoent>(WSAEFAULT);
    lookup::ProtocolRecord record;
    if (int error = lookup::protocolByName(name, &record)) return failNull<protoent>(error);
    return keepProtocol(record);
}

protoent* wsGetprotobynumber(int number) {
    if (!requireStarted()) return nullptr;
    lookup::ProtocolRecord record;
    if (int error = lookup::protocolByNumber(number, &record)) return failNull<protoent>(error);
    return keepProtocol(record);
}
