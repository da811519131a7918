#include "winsock/ocx/socket/secure_provider.h"

#include <atomic>

namespace kvlink {
namespace {

std::atomic<const SecureProvider*> g_provider{nullptr};

}  // namespace

void setSecureProvider(const SecureProvider* provider) {
    g_provider.store(provider);
}

const SecureProvider* secureProvider() {
    return g_provider.load();
}

}  // namespace kvlink
