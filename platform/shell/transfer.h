#pragma once
// Inside the shell layer: moving and copying one item (file, folder or link) to its final path.

#include <sys/stat.h>

#include <string>

#include "platform/shell/operation.h"

namespace shelldetail {

// transferItem moves (move) or copies source to exactly destination. A missing destination
// folder is created when confirmed; an existing destination is replaced only when confirmed
// (with FOF_ALLOWUNDO the replaced file goes to the Trash); an existing folder takes a folder's
// contents (merged) when confirmed. Returns 0 or a result number; ERROR_CANCELLED when something
// was declined or the host cancelled. sourceSeen, when given, is what lstat said of source a
// moment ago, from a caller that has also seen destination's folder exist: neither is looked at
// again.
int transferItem(Operation& op, const std::string& source, const std::string& destination,
                 bool move, const struct stat* sourceSeen = nullptr);

}  // namespace shelldetail
