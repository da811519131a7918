#pragma once
// The command line of vantel-cli.
//
//   vantel-cli [--yes] [--dry-run] [--api URL] [--] PATH...
//                                    queue each PATH, run the queue, report each item; --yes
//                                    lets a move or copy replace a file that is in the way;
//                                    --dry-run stops before each file operation and reports it;
//                                    --api looks episodes up at URL
//   vantel-cli --detect NAME...      print what detection makes of each name (detect_command.h)
//   vantel-cli --get NAME          print a stored setting
//   vantel-cli --set NAME=VALUE    store a setting (several --get/--set may follow each other)
//   vantel-cli --help | --version

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
};

// parseCommandLine: the options of argv[1..argc-1]. On a usage error returns false with error
// set to a one-line reason (an unknown option, a missing or malformed argument, paths or
// --detect together with --get/--set, --detect without a name, --dry-run or --api with --detect
// or --get/--set, an --api that is not an http:// or https:// address with a host). "--" ends the
// options; "-" alone is a path.
bool parseCommandLine(int argc, const char* const* argv, CliOptions& options, std::string& error);

// queuePath: a path of the command line as the core takes it: a relative path is made absolute
// from the current folder and "." and ".." steps are resolved, as the desktop hands the core
// whole paths; an absolute or quoted path stays as given. The file need not exist.
std::string queuePath(const std::string& given);

// The text printed by --help.
std::string usageText();

}  // namespace vantel
