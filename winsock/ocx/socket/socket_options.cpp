// Socket options, shutdown and the urgent-data mark.

#include "winsock/ocx/socket/socket_options.h"

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/socket/blocking_wait.h"

namespace kvlink {

bool setSocketFlag(SOCKET s, int level, int option, bool on) {
    int value = on ? 1 : 0;
    return networkLibrary().setsockopt(s, level, option, reinterpret_cast<const char*>(&value),
                                       sizeof value) == 0;
}

bool setSocketOption(int32_t handle, uint32_t bit, bool on) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    int level = SOL_SOCKET;
    int option;
    switch (bit) {
        case wrOptionBroadcast:
            option = SO_BROADCAST;
            break;
        case wrOptionDontRoute:
            option = SO_DONTROUTE;
            break;
        case wrOptionKeepAlive:
            option = SO_KEEPALIVE;
            break;
        case wrOptionReuseAddress:
            option = SO_REUSEADDR;
            break;
        case wrOptionNoDelay:
            level = IPPROTO_TCP;
            option = TCP_NODELAY;
            break;
        case wrOptionInLine:
            option = SO_OOBINLINE;
            break;
        default:
            return failedWith(wrErrorInvalidParameter);
    }
    if (!setSocketFlag(static_cast<SOCKET>(handle), level, option, on)) return networkFailed();
    if (on) {
        record->options |= bit;
    } else {
        record->options &= ~bit;
    }
    return true;
}

bool shutdownSocket(int32_t handle, int32_t how) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    if (how != SD_RECEIVE && how != SD_SEND && how != SD_BOTH)
        return failedWith(wrErrorInvalidParameter);
    // The peer hears the secure session end before the stream does; what it still sends is
    // read through the session as before.
    if (how != SD_RECEIVE) {
        if (std::shared_ptr<SecureSession> session = record->secure)
            session->shutdown(record->timeoutSeconds);
    }
    if (networkLibrary().shutdown(static_cast<SOCKET>(handle), how) != 0) return networkFailed();
    SetSocketError(0);
    return true;
}

int socketAtMark(int32_t handle) {
    SocketRef record = findSocket(handle);
    if (!record) return -1;
    u_long atMark = 1;
    if (networkLibrary().ioctlsocket(static_cast<SOCKET>(handle), SIOCATMARK, &atMark) != 0)
        return 0;
    // The library answers TRUE while no urgent data waits.
    return atMark ? 0 : 1;
}

}  // namespace kvlink
