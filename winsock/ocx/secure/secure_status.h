#pragma once
// The outcome of a call of the secure channel. The numbers the channel speaks in (the error codes
// it sets and the values of the protocol, cipher, hash, key-exchange and certificate
// enumerations it reports) are the control's own (winsock/ocx/base/constants.h).

#include <string>

#include "winsock/ocx/base/constants.h"

namespace kvsecure {

// A call's outcome: 0, or the control's error code with a sentence saying why (for the trace and
// for tests; the control's own message table gives the user-facing text of the code).
struct SecureStatus {
    int code = 0;
    std::string message;

    bool ok() const { return code == 0; }
};

}  // namespace kvsecure
