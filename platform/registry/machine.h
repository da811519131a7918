#pragma once
// The read-only tree shown under HKEY_LOCAL_MACHINE: facts of this machine, gathered afresh for
// each call so that a changed host name or resolver configuration shows at once.

#include <string>
#include <string_view>

#include "platform/registry/tree.h"

namespace registry {

// machineTree builds HKEY_LOCAL_MACHINE: SYSTEM\CurrentControlSet\Services\Tcpip\Parameters
// with "Hostname" and "Domain" (REG_SZ), as described in registry.h.
Key machineTree();

// resolverDomain is the local domain a resolver configuration names: its (last) "domain" line,
// else the first name of its (last) "search" line, without a trailing dot; "" when none.
std::string resolverDomain(std::string_view resolvConf);

}  // namespace registry
