#pragma once
// EnumFolder: the folder walk behind queueing a folder.
//
// Lists every file below a folder, depth first. The entries of each folder are taken in the
// byte order of their names (so a walk lists the same tree the same way every time), and a
// subfolder is entered where its name falls in that order. A folder reached a second time
// (through a symbolic link that points back up the tree) is not walked again.
//
//   std::vector<std::string> files;
//   EnumFolder("/videos/", 8, files, [] { return true; });   // "a.mkv", "sub/b.avi", ...

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vantel {

// Called twice after every 100 listed files so that the window stays responsive; returning
// false ends the walk early (the window was closed).
using WalkPump = std::function<bool()>;

// EnumFolder: appends to files, for every file below folder (which ends in "/"), its path with
// the first prefix_length characters cut off. Anything that is not a folder counts as a file;
// a link counts as what it points to and a broken link is left out. Folders that cannot be
// opened are skipped silently; nothing is reported.
void EnumFolder(const std::string& folder, size_t prefix_length, std::vector<std::string>& files,
                const WalkPump& pump);

}  // namespace vantel
