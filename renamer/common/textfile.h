#pragma once
// Whole-file text routines for the data files ("filters.dat", "man.dat") and the caches.
//
// Text is bytes: the files hold UTF-8 and are read and written unchanged, line ends included.
// ReplaceTextFile is the way to rewrite a file that holds the user's data: the new text goes to
// a temporary file beside it, which is flushed and renamed over the old one, so a crash at any
// moment leaves either the old or the new content, never neither.
//
//   if (!ReplaceTextFile(workdir + "man.dat", text)) debug_log("Error saving efilters: ...", 1);

#include <string>

namespace vantel {

// On failure errno says why (for the caller's log line).

// ReadTextFile: the whole content of path. When the file is missing or cannot be read the
// result is "" and *ok (when given) is set to false; otherwise *ok is set to true.
std::string ReadTextFile(const std::string& path, bool* ok = nullptr);

// WriteTextFile: writes text as the whole content of path (created when missing, truncated when
// present). With no_overwrite set an existing file is left alone and the result is false.
// False when the file cannot be created or written; a failed write may leave a partial file.
bool WriteTextFile(const std::string& path, const std::string& text, bool no_overwrite = false);

// ReplaceTextFile: replaces the content of path atomically (temporary file in the same folder,
// flushed to disk, renamed over path). False when any step fails; path is then unchanged and
// no temporary file is left behind.
bool ReplaceTextFile(const std::string& path, const std::string& text);

}  // namespace vantel
