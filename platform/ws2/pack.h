#pragma once
// Packing of lookup results into Winsock's hostent, servent and protoent: the structure first,
// then its pointer lists, addresses and strings, all inside one buffer, so that a result can live
// in a thread's own buffer (gethostbyname and friends) or in a caller's (WSAAsyncGetHostByName).

#include <cstddef>

#include "platform/ws2/lookup.h"

namespace ws2 {

// Each returns the bytes the packed result takes. It packs into buffer (aligned for a pointer)
// only when size is enough; buffer may be null to only measure.
size_t packHost(const lookup::HostRecord& record, char* buffer, size_t size);
size_t packService(const lookup::ServiceRecord& record, char* buffer, size_t size);
size_t packProtocol(const lookup::ProtocolRecord& record, char* buffer, size_t size);

}  // namespace ws2
