#pragma once
// Inside the shell layer: the freedesktop.org Trash ("allow undo" for deletions).
//
// A trashed item keeps its place in a trash folder's files/ under a name unique in that trash,
// and info/NAME.trashinfo records where it came from and when it went:
//
//   [Trash Info]
//   Path=/home/ann/My%20Videos/show.avi
//   DeletionDate=2024-05-01T14:03:09
//
// The path is percent-encoded; it is absolute in the home trash and relative to the top folder
// of the mount in a top-folder trash.

#include <string>

namespace shelldetail {

// Where a trashed item lies, so that a failed operation can put it back.
struct TrashedItem {
    std::string file;  // .../files/NAME
    std::string info;  // .../info/NAME.trashinfo
};

// moveToTrash moves path (a file, folder or link) into the trash of its mount. Returns 0, or
// ERROR_FILE_NOT_FOUND, DE_ROOTDIR, ERROR_NOT_SUPPORTED (no trash can be used for this mount),
// ERROR_ALREADY_EXISTS (no free name), or the translation of a system error (for example
// ERROR_ACCESS_DENIED when the item's folder is not writable). On failure the item stays where it
// is and no info file is left.
int moveToTrash(const std::string& path, TrashedItem* trashed = nullptr);

// putBackFromTrash moves a trashed item back to original, which must not exist, and removes its
// info file. 0 or a result number.
int putBackFromTrash(const TrashedItem& trashed, const std::string& original);

// The home trash folder: $XDG_DATA_HOME/Trash, with ~/.local/share when the variable is unset,
// empty or not absolute.
std::string homeTrashFolder();

// trashPathEncode percent-encodes every byte of path but the unreserved characters of a URI and
// "/" (so a blank becomes %20 and "é" becomes %C3%A9).
std::string trashPathEncode(const std::string& path);

// trashName gives the n-th candidate name (n from 1) for an item called name: the name itself,
// then "stem.2.ext", "stem.3.ext", ..., shortened where needed (never inside a UTF-8 character)
// so that the info file's name stays within the 255 bytes a file name may have.
std::string trashName(const std::string& name, int n);

}  // namespace shelldetail
