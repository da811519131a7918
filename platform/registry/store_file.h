#pragma once
// The user's store file on disk: reading it, and changing it under an exclusive lock with an
// atomic replace, so that concurrent writers never lose each other's changes and a crash never
// leaves a torn file.

#include <functional>
#include <string>

#include "platform/registry/tree.h"

namespace registry {

// readStore reads and parses the store file at path into root; a missing file is an empty tree.
// A file that cannot be parsed is kept aside under a new name (path + ".damaged-" + the local
// time), said so once on standard error, and read as an empty tree. ERROR_BADDB only when such a
// file cannot be renamed; ERROR_ACCESS_DENIED or ERROR_CANTREAD when it cannot be read. Needs no
// lock: the file is only ever replaced whole, by rename (setting it aside takes the lock).
LSTATUS readStore(const std::string& path, Key& root);

// damagedStoreSetAside: the name a damaged store was kept under by this process, or "" when
// none was. Lets a program say so in its own log as well.
std::string damagedStoreSetAside();

// A change to the tree: returns ERROR_SUCCESS or a failure, and sets changed when it altered
// the tree (only then is the file written).
using StoreChange = std::function<LSTATUS(Key& root, bool& changed)>;

// changeStore takes the exclusive lock (path + ".lock"), reads the store afresh, applies change
// and, when the tree changed, writes it to a temporary file of its own (path + ".tmp.PID.N",
// created exclusively, never through a link, mode 0600), flushes it to disk, renames it over
// path and flushes the folder; temporary files a killed writer left are removed first. Missing
// folders are created (mode 0700) and the store's folder is made private. A store that cannot be
// parsed is set aside as readStore does and the change applies to an empty tree (ERROR_BADDB
// only when it cannot be set aside); the change's own failure is returned as it is;
// ERROR_CANTWRITE when the folder, the lock or the file cannot be written.
LSTATUS changeStore(const std::string& path, const StoreChange& change);

}  // namespace registry
