#pragma once
// The command line of vantel-cli.
//
//   vantel-cli [--yes] [--dry-run] [--api URL] [--] PATH...
//                                    queue each PATH, run the queue, report each item; --yes
//                                    lets a move or copy replace a file that is in the way;
//                                    --dry-run stops before each file operation and reports it;
//                                    --api looks episodes up at URL
//   vantel-cli --detect NAME...      print what detection makes of each name (detect_command.h)
//   vantel-cli --get NAME          print the value of a setting in effect
//   vantel-cli --set NAME=VALUE    store a setting (several --get/--set may follow each other)
//   vantel-cli --history           list the runs of the journal (journal_commands.h)
//   vantel-cli --undo [N]          undo the newest run not yet undone, or run N
//   vantel-cli --filters | --add-filter ... | --remove-filter N | --move-filter N TO
//   vantel-cli --exceptions | --add-exception DETECTED NEW | --remove-exception N |
//              --move-exception N TO      the two lists (list_commands.h)
//   vantel-cli --help | --version

#include <cstdint>
#include <string>
#include <vector>

namespace vantel {

struct CliOptions {
    bool help = false;
    bool version = false;
    bool detect = false;   // paths holds the names to detect
    bool yes = false;      // confirm replacing an existing file (the shell's overwrite question)
    bool dry_run = false;  // report the planned file operations instead of doing them
    std::string api;       // the episode database's address ("" when not given)
    // --get and --set in the order given: for a get, value is empty and is_set false.
    struct SettingCommand {
        bool is_set = false;
        std::string name;
        std::string value;
    };
    std::vector<SettingCommand> settings;
    std::vector<std::string> paths;

    bool history = false;  // --history
    bool undo = false;     // --undo
    int32_t undo_run = 0;  // --undo N; 0: the newest run not yet undone

    // One command on the filter or exception list.
    struct ListCommand {
        enum Kind { None, List, Add, Remove, Move };
        Kind kind = None;
        bool filters = false;  // the filter list; else the exception list
        int32_t index = 0;     // Remove, Move: the entry (from 1)
        std::string to;        // Move: a position (from 1), "up" or "down"
        // Add to the exception list: the two names.
        std::string detected_name;
        std::string new_show_name;
        // Add to the filter list: the filter wizard's fields.
        bool file_type = false;      // --type: the condition is on the file type
        bool condition_set = false;  // --show or --type was given
        bool doesnt_equal = false;   // --not
        std::string condition;
        int32_t action = 1;  // --rename (1), --move FOLDER (2), --copy FOLDER (3)
        std::string path;
        std::string mask;
    };
    ListCommand list;
};

// parseCommandLine: the options of argv[1..argc-1]. On a usage error returns false with error
// set to a one-line reason (an unknown option, a missing or malformed argument, paths or
// --detect together with --get/--set, --detect without a name, --dry-run or --api with --detect
// or --get/--set, an --api that is not an http:// or https:// address with a host, --history,
// --undo or a list command together with anything else, a filter's field without
// --add-filter). "--" ends the options; "-" alone is a path.
bool parseCommandLine(int argc, const char* const* argv, CliOptions& options, std::string& error);

// queuePath: a path of the command line as the core takes it: a relative path is made absolute
// from the current folder and "." and ".." steps are resolved, as the desktop hands the core
// whole paths; an absolute or quoted path stays as given. The file need not exist.
std::string queuePath(const std::string& given);

// The text printed by --help.
std::string usageText();

}  // namespace vantel
