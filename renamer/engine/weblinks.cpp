#include "renamer/engine/weblinks.h"

#include "platform/shell/shell.h"
#include "renamer/common/version.h"
#include "renamer/common/workdir.h"

#include <cstdint>

#ifndef VANTEL_WEBSITE
#define VANTEL_WEBSITE "https://vantel.example.org"
#endif
#ifndef VANTEL_UPDATER
#define VANTEL_UPDATER "lofter"
#endif

namespace vantel {

namespace {

bool started(HINSTANCE result) {
    return reinterpret_cast<intptr_t>(result) > 32;
}

}  // namespace

std::string versionCode(int major, int minor, int revision) {
    std::string code = std::to_string(major) + std::to_string(minor);
    if (revision <= 99) code += "0";
    return code + std::to_string(revision);
}

std::string versionCode() {
    return versionCode(kVersionMajor, kVersionMinor, kVersionBuild);
}

std::string updaterParameters(const std::string& program_folder, const std::string& code,
                              HWND window) {
    return std::string("package=") + kAppTitle + ",apppath=" + program_folder +
           "/,runcount=123,version=" + code +
           ",handle=" + std::to_string(reinterpret_cast<uintptr_t>(window)) + ",";
}

std::string updaterProgram() {
    const std::string setting = VANTEL_UPDATER;
    if (!setting.empty() && setting.front() == '/') return setting;
    return programFolder() + "/" + setting;
}

std::string websiteBase() {
    return VANTEL_WEBSITE;
}

std::string websiteAddress(const std::string& code) {
    return websiteBase() + "/?v=" + code;
}

bool runUpdater(HWND window) {
    const std::string parameters = updaterParameters(programFolder(), versionCode(), window);
    return started(
        ShellExecuteA(window, "open", updaterProgram().c_str(), parameters.c_str(), nullptr, 1));
}

bool openWebsite() {
    return openDocument(websiteAddress(versionCode()));
}

bool openDocument(const std::string& target) {
    return started(ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, 1));
}

}  // namespace vantel
