#pragma once
// The path routines of the rename engine. Paths are split and joined at "/"; a folder returned
// by getpath ends in "/". None of them fails.
//
//   getfname("/tv/Lost/lost.s01e05.avi")     // "lost.s01e05.avi"
//   getpath("/tv/Lost/lost.s01e05.avi", 0)   // "/tv/Lost/"
//   getextension("Lost.S01E05.AVI")          // "avi"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantel {

// getextension returns the text after the last "." of name, lower-cased; name lower-cased
// when it holds no ".".
std::string getextension(std::string_view name);
// getextensionTo: the same into out, whose room is reused.
void getextensionTo(std::string_view name, std::string& out);

// remextension returns name without its last "." and what follows; name unchanged when it
// holds no ".".
std::string remextension(std::string_view name);

// getfname returns the last "/"-separated component of path, as it is.
std::string getfname(std::string_view path);

// getpath returns the components of path without the last n+1 of them, each followed by "/":
// n = 0 gives the folder of a file. Empty when path has no more than n+1 components; n below 0
// keeps every component.
std::string getpath(std::string_view path, int32_t n);

// folderName returns the second-to-last "/"-separated component of path, the name of the folder
// that holds the file, as a view into path; std::nullopt when path holds no "/" and so names no
// folder.
std::optional<std::string_view> folderName(std::string_view path);

// getshowname returns the last "/"-separated component of text, lower-cased.
std::string getshowname(std::string_view text);

}  // namespace vantel
