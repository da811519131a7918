#pragma once
// Text for the reports vantel-cli prints: one line per item or name, fields separated by TABs.

#include <string>

namespace vantel {

// oneLine: text made fit for one TAB-separated field: each line break (CR LF, CR or LF) becomes
// " / " and each TAB a space.
std::string oneLine(const std::string& text);

}  // namespace vantel
