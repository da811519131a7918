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

// "Version 4.0  Build 151": the about box's version line (two blanks before "Build").
inline std::string aboutVersionLine() {
    return "Version " + versionText() + "  Build " + std::to_string(kVersionBuild);
}

// The version record's legal notice, as the about box shows it.
inline constexpr const char* kLegalNotice =
    "Copyright (C) 2026 The Vantel developers. Vantel is free software: you may use, copy and "
    "change it under the terms of its licence.";

// The about box's credit for the episode data.
inline constexpr const char* kListingsCredit =
    "TV show information and episode listings are provided by TVmaze (www.tvmaze.com).";

}  // namespace vantel
