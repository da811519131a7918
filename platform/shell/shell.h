#pragma once
// The shell: file operations (move, copy, rename, delete to the Trash) and "open".
//
// SHFileOperationA takes the Windows request record: an operation code, a list of sources, a list
// of destinations (each list: paths ended by NUL, one more NUL after the last) and flags. It
// returns 0 when every item was done, otherwise one of the numbers listed under "Results".
//
//   SHFILEOPSTRUCTA op{};
//   op.wFunc = FO_MOVE;
//   std::string from = "/videos/show.s01e02.avi" + std::string(1, '\0');  // + the final NUL
//   std::string to = "/tv/Show/Show - 1x02 - Title.avi" + std::string(1, '\0');
//   op.pFrom = from.c_str();
//   op.pTo = to.c_str();
//   op.fFlags = FOF_ALLOWUNDO;
//   int rc = SHFileOperationA(&op);  // 0, or e.g. shellerror::ERROR_CANCELLED
//
// Nothing is overwritten or deleted unasked. Without FOF_NOCONFIRMATION an existing destination,
// a deletion, a folder merge and (without FOF_NOCONFIRMMKDIR) a missing destination folder are
// put to the confirmation callback of setFileOperationConfirm; with no callback the answer is
// "no". A declined item is left untouched, the others go on, and the result is ERROR_CANCELLED.
//
// Destinations. FO_MOVE and FO_COPY with one destination: a destination that ends in "/", that
// names an existing folder, or that serves several sources is a folder, and each source goes
// INTO it under its own name (a missing folder is created); otherwise the destination is the
// full new path of the single source. With FOF_MULTIDESTFILES the n-th destination is the full
// new path of the n-th source. FO_RENAME takes a full path in the source's own folder (or a bare
// name, taken in that folder) and never moves anything into a folder. Paths are taken literally:
// there are no wildcards. Symbolic links are moved, copied and deleted as links, never followed.
//
// Safety. A move within one file system is one rename(2) that cannot replace a file that
// appeared meanwhile. Across file systems, and for every copy, a file is written under no name
// (or a hidden ".vantel-partial-" name where the file system cannot do that), flushed to disk,
// read back and compared with the source by checksum, given the source's modification time and
// permissions, and only then linked under its final name; a move removes the source last. A
// failure or a killed process leaves no partial file under the final name and the source as it
// was. A confirmed overwrite with FOF_ALLOWUNDO sends the replaced file to the Trash first.
//
// Trash. FOF_ALLOWUNDO on FO_DELETE moves each item to the freedesktop.org Trash: the home trash
// ($XDG_DATA_HOME/Trash, default ~/.local/share/Trash) for items on its file system, otherwise
// $topdir/.Trash/$uid (only when $topdir/.Trash is a sticky folder, not a link) or else
// $topdir/.Trash-$uid of the item's mount. When no trash can take the item it stays where it is
// and the operation fails: an allow-undo delete never deletes permanently.
//
// Every call runs on the caller's thread; the callbacks are called on it too.

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/user/user.h"  // HWND, HINSTANCE, BOOL, UINT, TRUE

using WORD = uint16_t;
using FILEOP_FLAGS = WORD;

// Operation codes.
constexpr UINT FO_MOVE = 1;
constexpr UINT FO_COPY = 2;
constexpr UINT FO_DELETE = 3;
constexpr UINT FO_RENAME = 4;

// Flags. Those marked "no effect" concern windows this layer never shows; they are accepted.
constexpr FILEOP_FLAGS FOF_MULTIDESTFILES = 0x0001;  // pTo holds one destination per source
constexpr FILEOP_FLAGS FOF_CONFIRMMOUSE = 0x0002;    // no effect
constexpr FILEOP_FLAGS FOF_SILENT = 0x0004;  // no progress: the progress callback is not called
constexpr FILEOP_FLAGS FOF_RENAMEONCOLLISION = 0x0008;  // not supported: ERROR_INVALID_PARAMETER
constexpr FILEOP_FLAGS FOF_NOCONFIRMATION = 0x0010;     // answer "yes" to every confirmation
constexpr FILEOP_FLAGS FOF_WANTMAPPINGHANDLE = 0x0020;  // not supported: ERROR_INVALID_PARAMETER
constexpr FILEOP_FLAGS FOF_ALLOWUNDO = 0x0040;  // deletions (and replaced files) go to the Trash
constexpr FILEOP_FLAGS FOF_FILESONLY = 0x0080;  // no effect (concerns wildcards)
constexpr FILEOP_FLAGS FOF_SIMPLEPROGRESS = 0x0100;  // no effect
constexpr FILEOP_FLAGS FOF_NOCONFIRMMKDIR = 0x0200;  // create missing destination folders unasked
constexpr FILEOP_FLAGS FOF_NOERRORUI = 0x0400;       // no effect (errors are only returned)
constexpr FILEOP_FLAGS FOF_NOCOPYSECURITYATTRIBS = 0x0800;  // no effect
constexpr FILEOP_FLAGS FOF_NORECURSION = 0x1000;            // no effect (concerns wildcards)
constexpr FILEOP_FLAGS FOF_NO_CONNECTED_ELEMENTS = 0x2000;  // no effect
constexpr FILEOP_FLAGS FOF_WANTNUKEWARNING =
    0x4000;  // no effect (never deletes permanently unasked)
constexpr FILEOP_FLAGS FOF_NORECURSEREPARSE = 0x8000;  // no effect (links are never followed)

struct SHFILEOPSTRUCTA {
    HWND hwnd;                      // handed to the confirmation callback, for placing a dialog
    UINT wFunc;                     // FO_MOVE, FO_COPY, FO_DELETE or FO_RENAME
    const char* pFrom;              // source paths, each NUL-ended, one more NUL after the last
    const char* pTo;                // destination paths, same form; unused by FO_DELETE
    FILEOP_FLAGS fFlags;            // FOF_* above
    BOOL fAnyOperationsAborted;     // out: TRUE when an item was declined or the host cancelled
    void* hNameMappings;            // unused
    const char* lpszProgressTitle;  // unused
};

// Results: 0 for success, otherwise one of these (Windows' numbers). They sit in a namespace of
// their own because other layers define some of the same Windows names.
namespace shellerror {
constexpr int ERROR_SUCCESS = 0;
constexpr int ERROR_FILE_NOT_FOUND = 2;  // a source does not exist
constexpr int ERROR_PATH_NOT_FOUND = 3;  // a folder on a path is missing or not a folder
constexpr int ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr int ERROR_ACCESS_DENIED = 5;  // permission denied (EACCES, EPERM)
constexpr int ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr int ERROR_BAD_FORMAT = 11;         // startProgram: the file is not a program
constexpr int ERROR_WRITE_PROTECT = 19;      // the file system is read-only (EROFS)
constexpr int ERROR_CRC = 23;                // the written copy read back differently
constexpr int ERROR_WRITE_FAULT = 29;        // input/output error while writing
constexpr int ERROR_READ_FAULT = 30;         // input/output error while reading
constexpr int ERROR_SHARING_VIOLATION = 32;  // the source changed while it was copied; file busy
constexpr int ERROR_NOT_SUPPORTED = 50;      // a device, pipe or socket; no trash for the item
constexpr int ERROR_INVALID_PARAMETER = 87;  // no record, unknown wFunc, missing pTo, bad flag
constexpr int ERROR_DISK_FULL = 0x70;        // 112: no space or quota left (ENOSPC, EDQUOT)
constexpr int DE_SAMEFILE = 0x71;            // source and destination are the same file
constexpr int DE_MANYSRC1DEST = 0x72;        // FO_RENAME with several sources
constexpr int DE_DIFFDIR = 0x73;             // FO_RENAME to another folder
constexpr int DE_ROOTDIR = 0x74;             // the source is the root folder
constexpr int DE_DESTSUBTREE = 0x76;         // a folder into itself or its own subfolder
constexpr int DE_MANYDEST = 0x7A;            // the number of destinations does not fit
constexpr int DE_INVALIDFILES = 0x7C;        // no source, or an empty, "." or ".." path
constexpr int DE_FLDDESTISFILE = 0x7E;       // a folder onto an existing file
constexpr int DE_FILEDESTISFLD = 0x80;       // a file onto an existing folder
constexpr int ERROR_DIR_NOT_EMPTY = 145;
constexpr int ERROR_BUSY = 170;                  // a mount point or busy resource
constexpr int ERROR_ALREADY_EXISTS = 183;        // no free name (the Trash had no free name)
constexpr int ERROR_FILENAME_EXCED_RANGE = 206;  // a path or name is too long
constexpr int ERROR_FILE_TOO_LARGE = 223;        // the destination file system cannot hold the file
constexpr int DE_UNKNOWN_ERROR = 0x402;          // any other system error
constexpr int ERROR_CANCELLED = 0x4C7;           // 1223: declined, no callback, or cancelled
}  // namespace shellerror

// What a confirmation is about.
enum class ConfirmKind {
    Overwrite,     // destination (an existing file or link) would be replaced by source
    MergeFolder,   // the folder source would be merged into the existing folder destination
    CreateFolder,  // the missing folder destination would be created
    Delete,        // source would be deleted (toTrash: moved to the Trash)
};

struct ConfirmRequest {
    ConfirmKind kind;
    UINT wFunc;               // the operation asking
    HWND hwnd;                // the record's hwnd
    std::string source;       // empty for CreateFolder
    std::string destination;  // empty for Delete
    bool toTrash;             // Overwrite and Delete: the file that goes away goes to the Trash
};

// Answers true to allow the item, false to leave it untouched.
using FileOperationConfirm = std::function<bool(const ConfirmRequest&)>;

// setFileOperationConfirm sets the process-wide confirmation callback (an empty one: every
// confirmation is declined) and returns the previous one.
FileOperationConfirm setFileOperationConfirm(FileOperationConfirm confirm);

// Called while a file's data is copied: the file being written, bytes done and its size; first
// with done 0. Answers false to cancel the whole operation (result ERROR_CANCELLED; the file
// being copied is discarded). A host uses it to keep its window alive during a long copy.
using FileOperationProgress =
    std::function<bool(const std::string& destination, uint64_t done, uint64_t total)>;

// setFileOperationProgress sets the process-wide progress callback and returns the previous one.
FileOperationProgress setFileOperationProgress(FileOperationProgress progress);

// SHFileOperationA carries out the request. Returns 0 or a shellerror number (see above). With
// several items it stops at the first failure (earlier items stay done) but goes on past a
// declined item. fAnyOperationsAborted is set when an item was declined or the host cancelled.
int SHFileOperationA(SHFILEOPSTRUCTA* op);

// "Open".

// Results of ShellExecuteA at or below 32 (Windows' numbers); above 32 is success.
constexpr int SE_ERR_OOM = 8;       // the system could not start a process
constexpr int SE_ERR_NOASSOC = 31;  // no program to open with, or an unknown verb
constexpr int SE_ERR_SUCCESS = 42;  // the value returned on success

// ShellExecuteA opens file with verb operation ("open", "explore" or nullptr; anything else gives
// SE_ERR_NOASSOC) and does not wait. An executable regular file is started with parameters split
// into arguments as a Windows command line is (blanks separate, double quotes group). Anything
// else (a document, a folder, a URL such as "https://host/?v=40151") is handed, as one argument,
// to the program named by the environment variable VANTEL_OPEN_PROGRAM, or to xdg-open. The
// process starts in directory when given (a relative file is taken there) and is never run
// through a shell. hwnd and show are not used. Returns a value above 32 (SE_ERR_SUCCESS) on
// success; on failure the value, cast to intptr_t, is 2 (file not found), 3 (directory not
// found), 5 (access denied), 8 (SE_ERR_OOM), 11 (not a program), 31 (SE_ERR_NOASSOC) or 0 (any
// other failure).
HINSTANCE ShellExecuteA(HWND hwnd, const char* operation, const char* file, const char* parameters,
                        const char* directory, int show);

// startProgram starts program (a path, or a name looked up in PATH) with exactly these
// arguments, in directory when it is not empty, in a session of its own, never through a shell.
// When child is given the caller receives the process id and must wait for it; otherwise the
// process is reaped in the background. Returns 0 or a shellerror number: ERROR_FILE_NOT_FOUND
// (no such program), ERROR_PATH_NOT_FOUND (no such directory), ERROR_ACCESS_DENIED, and so on.
int startProgram(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& directory = {}, pid_t* child = nullptr);

// splitCommandLine splits a Windows-style parameter text into arguments: blanks separate, double
// quotes group (the quotes themselves go), and \" is a literal quote.
std::vector<std::string> splitCommandLine(const std::string& text);
