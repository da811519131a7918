#pragma once
// The renamer's options and the flags its window shares with the queue driver.
//
// Settings is filled once at start-up from the registry key HKEY_CURRENT_USER\SOFTWARE\Vantel
// (readSettings) and afterwards only changed by the preferences and confirmation dialogs, which
// write the registry and the record together. Each field has a reading rule that turns a stored
// value (or its absence) into the value the program uses; the rules are pure functions here so
// that the dialogs, the start-up and the headless front end all read alike.
//
//   Settings s;
//   readSettings(s);               // types, context, confirm, nocache, noutf8, logging, autoclose
//   s.workdir = setworkdir(log);   // not stored in the registry

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantel {

// The extensions accepted when none (or a too-short text) is stored.
inline constexpr const char* kDefaultTypes = "avi;mkv;mpg;mp4";

struct Settings {
    std::string types = kDefaultTypes;  // lower case, no dots, separated by ";"
    int32_t context = 0;                // 0 never set up, 1 switched off by the user, 2 on
    bool confirm = false;               // ask before each file operation
    bool nocache = false;               // bypass the query and episode caches
    bool noutf8 = false;                // do not decode downloaded text as UTF-8
    int32_t logging = 1;                // the log threshold: 1 normal, 2 verbose
    bool autoclose = false;             // "Close when done"
    std::string workdir;                // data files and cache; always ends in "/"
};

// The flags the window and the queue driver share. There is one window per process, so one
// set of flags per process; the core that stands for the window owns it.
struct RunFlags {
    bool busy = false;            // a queue pass is running
    bool quit_requested = false;  // the user closed the window during a pass
    bool loaded = false;          // start-up has finished; tray clicks are honoured from now on
};

// Reading rules: a stored value (as the registry module returns it: "" or 0 when missing) to
// the value the program uses.
std::string readTypesRule(const std::string& stored);  // shorter than 3 characters: the default
int32_t readContextRule(int32_t stored);               // 0 and 1 as stored, anything else 2
bool readFlagRule(int32_t stored);                     // 0 off, anything else on
int32_t readLoggingRule(int32_t stored);               // 2 verbose, anything else 1
bool readAutocloseRule(int32_t stored);                // only 1 is on

// Reads every stored field of s through the registry module with the rules above, in the
// start-up order (types, context, confirm, nocache, noutf8, logging, autoclose). workdir is left
// alone. Registry errors give the defaults; nothing is reported.
void readSettings(Settings& s);

// The types text as the preferences dialog stores it: every "." removed, one trailing ";"
// removed, lower case (ASCII letters).
std::string normaliseTypes(std::string_view text);

// One value that the preferences dialog writes: its registry name and whether it is text
// (REG_SZ) or a number (REG_DWORD), with the numbers the dialog ever writes.
struct SettingValue {
    const char* name;
    bool is_text;
    int32_t min_value;  // numbers only: the range the dialog writes
    int32_t max_value;
};

// The stored setting named name (exact, lower case), or nullptr when no such setting exists.
const SettingValue* findSettingValue(std::string_view name);

// A comma-separated list of the setting names, for messages ("types, context, ...").
std::string settingNames();

}  // namespace vantel
