// The per-user folder for state shared between this user's processes.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/user/internal.h"

namespace vantel::user {

std::string userRuntimeDir() {
    std::string dir;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') {
        dir = std::string(runtime) + "/vantel";
    } else {
        dir = "/tmp/vantel-" + std::to_string(::getuid());
    }
    ::mkdir(dir.c_str(), 0700);
    // In a shared folder such as /tmp someone else may have made the name first: use it only
    // when it is a real folder of ours that nobody else can enter.
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return dir;
}

}  // namespace vantel::user
