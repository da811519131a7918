#pragma once
// The renamer's version: 4.0 with a build number, from the project's version in CMake.

#include <string>

namespace vantel {

inline constexpr int kVersionMajor = VANTEL_VERSION_MAJOR;
inline constexpr int kVersionMinor = VANTEL_VERSION_MINOR;
inline constexpr int kVersionBuild = VANTEL_VERSION_BUILD;

// "4.0": the version as the window caption and the registry show it.
inline std::string versionText() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor);
}

// "Vantel 4.0": the main window's caption, by which a second instance finds the first.
inline std::string mainCaption() {
    return "Vantel " + versionText();
}

}  // namespace vantel
