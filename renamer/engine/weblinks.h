#pragma once
// The update check and the product's web page: "Check For Updates" starts the separate updater
// program with a description of the running program, "Vantel Website" (and the about box's link)
// opens the product page with the version as a query. Neither waits, and a failure to start is
// not reported: nothing in the program depends on the outcome.
//
//   runUpdater(core.hwnd());     // the updater from the build or installation setting
//   openWebsite();               // e.g. https://vantel.example.org/?v=40151

#include "platform/user/user.h"

#include <string>

namespace vantel {

// versionCode: major, minor and revision as decimal numbers without separators, with one "0"
// between minor and revision when the revision is 99 or less (4.0.151 -> "40151", 4.0.51 ->
// "40051").
std::string versionCode(int major, int minor, int revision);
// The running program's code.
std::string versionCode();

// updaterParameters: "package=Vantel,apppath=" + folder + "/,runcount=123,version=" + code +
// ",handle=" + the window handle as a decimal number + ",".
std::string updaterParameters(const std::string& program_folder, const std::string& code,
                              HWND window);

// updaterProgram: the updater's path from the build setting (a relative one is taken in the
// program's folder).
std::string updaterProgram();

// websiteAddress: the product site from the build setting + "/?v=" + code.
std::string websiteAddress(const std::string& code);
// The product site itself, as the about box shows it.
std::string websiteBase();

// runUpdater / openWebsite: start the updater, or open the page with the desktop's default
// handler; neither waits. Failures are ignored; the result says whether the start succeeded.
bool runUpdater(HWND window);
bool openWebsite();
// openDocument: opens a file or address with the desktop's default handler. False when no
// handler could be started.
bool openDocument(const std::string& target);

}  // namespace vantel
