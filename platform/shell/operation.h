#pragma once
// Inside the shell layer: the state of one file operation, the path helpers and the translation
// of errno values into the layer's result numbers. Not for use outside platform/shell.

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/shell/shell.h"

namespace shelldetail {

// Internal result: the destination name was taken between the check and the act, so the caller
// looks again (and asks again) instead of replacing what appeared.
constexpr int kDestinationAppeared = -1;

// One SHFileOperationA call: its flags, the host's callbacks and what the host answered.
class Operation {
  public:
    Operation(HWND hwnd, UINT func, FILEOP_FLAGS flags);

    UINT func() const { return m_func; }
    bool has(FILEOP_FLAGS flag) const { return (m_flags & flag) != 0; }

    // confirm answers from the flags, else asks the host's callback (none: "no"). A "no" is
    // remembered (declined()).
    bool confirm(ConfirmKind kind, const std::string& source, const std::string& destination);

    // progress reports copied bytes unless FOF_SILENT; false once the host has cancelled.
    bool progress(const std::string& destination, uint64_t done, uint64_t total);

    bool declined() const { return m_declined; }
    bool cancelled() const { return m_cancelled; }

  private:
    HWND m_hwnd;
    UINT m_func;
    FILEOP_FLAGS m_flags;
    bool m_declined = false;
    bool m_cancelled = false;
};

// resultFromErrno maps an errno value to a shellerror number. writing tells an I/O error while
// writing (ERROR_WRITE_FAULT) from one while reading (ERROR_READ_FAULT).
int resultFromErrno(int err, bool writing = false);

// Path helpers on "/"-separated paths. A path never ends in "/" here except "/" itself.
std::string withoutTrailingSlashes(const std::string& path);
std::string parentOf(const std::string& path);  // "." for a bare name
std::string baseName(const std::string& path);
std::string joinPath(const std::string& folder, const std::string& name);

// Entry names of a folder (without "." and ".."), sorted; false with errno set on failure.
bool listFolder(const std::string& folder, std::vector<std::string>& names);

// Creates path and its missing parents (mode 0777 less the umask). 0 or a result number.
int makeFolders(const std::string& path);

// Flushes a folder's entries to disk, so a new name survives a crash. Failures are ignored: the
// name is there, only its durability is weaker.
void syncFolder(const std::string& folder);

// rename(2) that never replaces: 0, or an errno value (EEXIST when to exists). On file systems
// without RENAME_NOREPLACE a file is linked and unlinked instead; a folder falls back to a check
// before a plain rename.
int renameNoReplace(const std::string& from, const std::string& to);

// Removes path for good: a folder with everything in it, links as links. 0 or a result number.
int removeTree(const std::string& path);

}  // namespace shelldetail
