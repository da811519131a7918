#pragma once
// Whole-file text routines for the data files ("filters.dat", "man.dat") and the caches.
//
// Text is bytes: the files hold UTF-8 and are read and written unchanged, line ends included.
// ReplaceTextFile is the way to rewrite a file that holds the user's data: the new text goes to
// a temporary file beside it, which is flushed and renamed over the old one, so a crash at any
// moment leaves either the old or the new content, never neither.
//
//   if (!ReplaceTextFile(workdir + "man.dat", text)) debug_log("Error saving efilters: ...", 1);

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantel {

// On failure errno says why (for the caller's log line).

// WriteAll: writes all of text to the descriptor, going on after a short write or an
// interruption; false (errno set) on failure.
bool WriteAll(int fd, std::string_view text);

// ReadTextFile: the whole content of path. When the file is missing, is not a regular file
// (errno EINVAL: a device, a FIFO or a folder is never read) or cannot be read the result is ""
// and *ok (when given) is set to false; otherwise *ok is set to true.
std::string ReadTextFile(const std::string& path, bool* ok = nullptr);

// FileStamp: what the file system says of a file's content without reading it: the file (device
// and inode), its size, and the times of its last change to the nanosecond. Two reads of a file
// with equal stamps read the same bytes: replacing a file makes a new inode, and writing into it
// changes its change time.
struct FileStamp {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t modified_s = 0, modified_ns = 0, changed_s = 0, changed_ns = 0;
    bool operator==(const FileStamp&) const = default;
};

// StampOfFile: the stamp of the regular file path (links followed); nullopt for anything else or
// when it cannot be had.
std::optional<FileStamp> StampOfFile(const std::string& path);

// StillAsRead: whether path is the file that was read as read_path with the stamp read_stamp
// (none: it cannot be proved), and still has that stamp, so that what was read then is what a
// read now would give.
bool StillAsRead(const std::string& path, const std::string& read_path,
                 const std::optional<FileStamp>& read_stamp);

// ReadBoundedFile: the whole content of path when it is a regular file of at most max_bytes.
// nullopt otherwise, with *error (when given) saying why: "not a regular file", "larger than N
// bytes", or the system's text for a file that is missing or cannot be opened or read (errno
// is kept, ENOENT for a missing one). Never blocks on a FIFO and never reads more than
// max_bytes + 1 bytes, whatever the file claims to hold. stamp, when given, gets the stamp of
// the content read; nullopt when the file changed while it was read, or changed so recently
// (within a tenth of a second) that a further change might not show in its stamp.
std::optional<std::string> ReadBoundedFile(const std::string& path, size_t max_bytes,
                                           std::string* error = nullptr,
                                           std::optional<FileStamp>* stamp = nullptr);

// WriteTextFile: writes text as the whole content of path (created when missing, truncated when
// present). With no_overwrite set an existing file is left alone and the result is false.
// False when the file cannot be created or written; a failed write may leave a partial file.
bool WriteTextFile(const std::string& path, const std::string& text, bool no_overwrite = false);

// ReplaceTextFile: replaces the content of path atomically (temporary file in the same folder,
// flushed to disk, renamed over path). False when any step fails; path is then unchanged and
// no temporary file is left behind.
bool ReplaceTextFile(const std::string& path, const std::string& text);

// RemoveStaleTemporaryFiles removes from folder the temporary files ReplaceTextFile left behind
// when a run was killed while writing (names ending in ".tmp.PID.N"): those whose process is
// gone, and any older than an hour (the process number may have been reused). Folders and
// files of other names are left alone. Returns how many it removed; a folder that cannot be
// read gives 0.
int RemoveStaleTemporaryFiles(const std::string& folder);

}  // namespace vantel
