#pragma once
// Inside the shell layer: copying one file or link so that a failure leaves nothing behind.

#include <sys/stat.h>

#include <string>

#include "platform/shell/operation.h"

namespace shelldetail {

// copyFileVerified copies the regular file source (sourceStat: its lstat) to destination. The
// data goes into a file with no name in the destination folder (a hidden ".vantel-partial-" name
// where the file system cannot do that, removed on failure), is flushed to disk, read back and
// compared with the source by checksum, gets the source's permissions, extended attributes
// (user.* and the access control list, where the destination can hold them) and times (with
// keepOwner also its owner and set-id bits, where allowed) and only then gets its name. With
// replace an existing destination is replaced in one step; without, a destination that exists by
// then gives kDestinationAppeared. Returns 0, kDestinationAppeared or a result number:
// ERROR_DISK_FULL, ERROR_READ_FAULT, ERROR_WRITE_FAULT, ERROR_CRC (read back differently),
// ERROR_SHARING_VIOLATION (the source changed meanwhile), ERROR_CANCELLED (the host cancelled
// through the progress callback), or the translation of any other system error.
int copyFileVerified(Operation& op, const std::string& source, const struct stat& sourceStat,
                     const std::string& destination, bool replace, bool keepOwner);

// copySymlink gives destination a symbolic link with the same target as the link source, with the
// same replace rule and results as copyFileVerified.
int copySymlink(const std::string& source, const std::string& destination, bool replace);

}  // namespace shelldetail
