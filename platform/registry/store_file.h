#pragma once
// The user's store file on disk: reading it, and changing it under an exclusive lock with an
// atomic replace, so that concurrent writers never lose each other's changes and a crash never
// leaves a torn file.

#include <functional>
#include <string>

#include "platform/registry/tree.h"

namespace registry {

// readStore reads and parses the store file at path into root; a missing file is an empty tree.
// ERROR_BADDB when the file cannot be parsed, ERROR_ACCESS_DENIED or ERROR_CANTREAD when it
// cannot be read. Needs no lock: the file is only ever replaced whole, by rename.
LSTATUS readStore(const std::string& path, Key& root);

// A change to the tree: returns ERROR_SUCCESS or a failure, and sets changed when it altered
// the tree (only then is the file written).
using StoreChange = std::function<LSTATUS(Key& root, bool& changed)>;

// changeStore takes the exclusive lock (path + ".lock"), reads the store afresh, applies change
// and, when the tree changed, writes it to path + ".tmp", flushes it to disk, renames it over
// path and flushes the folder. Missing folders are created (mode 0700). A store that cannot be
// parsed is left untouched and gives ERROR_BADDB; the change's own failure is returned as it is;
// ERROR_CANTWRITE when the folder, the lock or the file cannot be written.
LSTATUS changeStore(const std::string& path, const StoreChange& change);

}  // namespace registry
