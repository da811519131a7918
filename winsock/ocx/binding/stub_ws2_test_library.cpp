// A network library for tests that exports only a few names: the start-up pair, the last-error
// pair, socket and closesocket. Everything else is missing, as in a library of an older or a
// partial Winsock. It makes no real sockets: socket hands out numbers. Like any real library it
// depends on the C library, whose own connect, select, send, ... must not stand in for the ones
// it lacks.

#include <atomic>
#include <cstdio>

#include "platform/ws2/winsock2.h"

#define STUB_EXPORT(symbol) __asm__(#symbol) __attribute__((visibility("default")))

extern "C" {
int stubStartup(WORD version, LPWSADATA data) STUB_EXPORT(WSAStartup);
int stubCleanup() STUB_EXPORT(WSACleanup);
int stubGetLastError() STUB_EXPORT(WSAGetLastError);
void stubSetLastError(int error) STUB_EXPORT(WSASetLastError);
SOCKET stubSocket(int af, int type, int protocol) STUB_EXPORT(socket);
int stubClosesocket(SOCKET s) STUB_EXPORT(closesocket);
}

namespace {
thread_local int t_error = 0;
std::atomic<SOCKET> g_next{100};
}  // namespace

int stubStartup(WORD version, LPWSADATA data) {
    if (LOBYTE(version) == 0) return WSAVERNOTSUPPORTED;
    *data = WSADATA{};
    data->wVersion = version;
    data->wHighVersion = MAKEWORD(2, 2);
    data->iMaxSockets = 7;
    data->iMaxUdpDg = 512;
    std::snprintf(data->szDescription, sizeof data->szDescription, "Stub %d.%d", LOBYTE(version),
                  HIBYTE(version));
    return 0;
}

int stubCleanup() {
    return 0;
}

int stubGetLastError() {
    return t_error;
}

void stubSetLastError(int error) {
    t_error = error;
}

SOCKET stubSocket(int af, int type, int protocol) {
    if (af != AF_INET) {
        t_error = WSAEAFNOSUPPORT;
        return INVALID_SOCKET;
    }
    return g_next++;
}

int stubClosesocket(SOCKET s) {
    return 0;
}
