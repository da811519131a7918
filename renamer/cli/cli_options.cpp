#include "renamer/cli/cli_options.h"

#include <charconv>
#include <filesystem>
#include <string_view>

namespace vantel {

namespace {

// An address the HTTP client can use as the service's root: a scheme it speaks and a host.
bool usableApiAddress(const std::string& url) {
    for (const char* scheme : {"http://", "https://"}) {
        std::string_view prefix = scheme;
        if (url.size() > prefix.size() && url.compare(0, prefix.size(), prefix) == 0)
            return url[prefix.size()] != '/' && url[prefix.size()] != ':';
    }
    return false;
}

// A list entry's number: a whole decimal number from 1.
bool entryNumber(std::string_view text, int32_t& value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value >= 1;
}

// The options of the list commands; false with error set on a usage error. i is at the option
// and moves past its arguments.
bool parseListOption(std::string_view arg, int argc, const char* const* argv, int& i,
                     CliOptions& options, std::string& error, bool& known) {
    using Command = CliOptions::ListCommand;
    Command& list = options.list;
    known = true;
    // The next count arguments, which must be there.
    auto take = [&](int count) {
        if (i + count < argc) return true;
        error = std::string(arg) + " needs " +
                (count == 1 ? "an argument" : std::to_string(count) + " arguments");
        return false;
    };
    auto command = [&](Command::Kind kind, bool filters) {
        if (list.kind != Command::None) {
            error = "only one list command at a time";
            return false;
        }
        list.kind = kind;
        list.filters = filters;
        return true;
    };
    auto entry = [&](int32_t& index) {
        if (entryNumber(argv[++i], index)) return true;
        error = std::string(arg) + " needs an entry number from 1, not '" + argv[i] + "'";
        return false;
    };
    const bool filters = arg.find("filter") != std::string_view::npos;
    if (arg == "--filters" || arg == "--exceptions") return command(Command::List, filters);
    if (arg == "--add-filter") return command(Command::Add, true);
    if (arg == "--add-exception") {
        if (!command(Command::Add, false) || !take(2)) return false;
        list.detected_name = argv[++i];
        list.new_show_name = argv[++i];
        return true;
    }
    if (arg == "--remove-filter" || arg == "--remove-exception")
        return command(Command::Remove, filters) && take(1) && entry(list.index);
    if (arg == "--move-filter" || arg == "--move-exception") {
        if (!command(Command::Move, filters) || !take(2) || !entry(list.index)) return false;
        list.to = argv[++i];
        int32_t position = 0;
        if (list.to == "up" || list.to == "down" || entryNumber(list.to, position)) return true;
        error = std::string(arg) + " moves to a position from 1, \"up\" or \"down\", not '" +
                list.to + "'";
        return false;
    }
    // The filter wizard's fields.
    if (arg == "--show" || arg == "--type") {
        if (list.condition_set) {
            error = "a filter has one condition: --show or --type";
            return false;
        }
        if (!take(1)) return false;
        list.condition_set = true;
        list.file_type = arg == "--type";
        list.condition = argv[++i];
        return true;
    }
    if (arg == "--not") {
        list.doesnt_equal = true;
        return true;
    }
    if (arg == "--rename") {
        list.action = 1;
        return true;
    }
    if (arg == "--move" || arg == "--copy") {
        if (!take(1)) return false;
        list.action = arg == "--move" ? 2 : 3;
        list.path = argv[++i];
        return true;
    }
    if (arg == "--mask") {
        if (!take(1)) return false;
        list.mask = argv[++i];
        return true;
    }
    known = false;
    return true;
}

bool filterFieldsGiven(const CliOptions::ListCommand& list) {
    return list.condition_set || list.doesnt_equal || list.action != 1 || !list.path.empty() ||
           !list.mask.empty();
}

}  // namespace

bool parseCommandLine(int argc, const char* const* argv, CliOptions& options, std::string& error) {
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (options_ended || arg.size() < 2 || arg[0] != '-') {
            options.paths.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--detect") {
            options.detect = true;
        } else if (arg == "--yes") {
            options.yes = true;
        } else if (arg == "--dry-run") {
            options.dry_run = true;
        } else if (arg == "--api") {
            if (i + 1 >= argc) {
                error = "--api needs a URL";
                return false;
            }
            options.api = argv[++i];
            if (!usableApiAddress(options.api)) {
                error =
                    "--api needs an http:// or https:// URL with a host, not '" + options.api + "'";
                return false;
            }
        } else if (arg == "--history") {
            options.history = true;
        } else if (arg == "--undo") {
            options.undo = true;
            // The run number is optional: a number right after --undo is taken as one.
            if (i + 1 < argc && entryNumber(argv[i + 1], options.undo_run)) ++i;
        } else if (arg == "--get" || arg == "--set") {
            if (i + 1 >= argc) {
                error = std::string(arg) + " needs an argument";
                return false;
            }
            std::string value = argv[++i];
            CliOptions::SettingCommand command;
            command.is_set = arg == "--set";
            if (command.is_set) {
                size_t eq = value.find('=');
                if (eq == std::string::npos || eq == 0) {
                    error = "--set needs NAME=VALUE, not '" + value + "'";
                    return false;
                }
                command.name = value.substr(0, eq);
                command.value = value.substr(eq + 1);
            } else {
                command.name = value;
            }
            options.settings.push_back(std::move(command));
        } else {
            bool known = false;
            if (!parseListOption(arg, argc, argv, i, options, error, known)) return false;
            if (!known) {
                error = "unknown option '" + std::string(arg) + "'";
                return false;
            }
        }
    }
    const bool list_command = options.list.kind != CliOptions::ListCommand::None;
    const int commands =
        (options.history ? 1 : 0) + (options.undo ? 1 : 0) + (list_command ? 1 : 0);
    if (commands > 1 ||
        (commands == 1 && (!options.paths.empty() || options.detect || !options.settings.empty() ||
                           options.dry_run || !options.api.empty() || options.yes))) {
        error = "--history, --undo and the list commands go alone";
        return false;
    }
    if (filterFieldsGiven(options.list) &&
        (options.list.kind != CliOptions::ListCommand::Add || !options.list.filters)) {
        error = "--show, --type, --not, --rename, --move, --copy and --mask go with --add-filter";
        return false;
    }
    if (!options.settings.empty() && (!options.paths.empty() || options.detect)) {
        error = "--get and --set cannot be combined with paths or --detect";
        return false;
    }
    if ((options.dry_run || !options.api.empty()) &&
        (options.detect || !options.settings.empty())) {
        error = "--dry-run and --api only go with paths to queue";
        return false;
    }
    if (options.detect && options.paths.empty() && !options.help && !options.version) {
        error = "--detect needs at least one NAME";
        return false;
    }
    return true;
}

std::string usageText() {
    return "Usage: vantel-cli [--yes] [--dry-run] [--api URL] [--] PATH...\n"
           "       vantel-cli --detect [--] NAME...\n"
           "       vantel-cli --get NAME | --set NAME=VALUE ...\n"
           "       vantel-cli --history | --undo [N]\n"
           "       vantel-cli --filters | --exceptions\n"
           "       vantel-cli --add-filter [--show TEXT | --type TEXT] [--not]\n"
           "                  [--rename | --move FOLDER | --copy FOLDER] [--mask MASK]\n"
           "       vantel-cli --add-exception DETECTED NEW\n"
           "       vantel-cli --remove-filter N | --remove-exception N\n"
           "       vantel-cli --move-filter N TO | --move-exception N TO\n"
           "       vantel-cli --help | --version\n"
           "\n"
           "Queues each PATH (a video file, or a folder: every video file below it), works the\n"
           "queue through as the Vantel window does, and prints one line per item on standard\n"
           "output: its number, final status, path, and the new path or the reason it failed,\n"
           "separated by TABs. The activity log goes to standard error, and so does, for each\n"
           "PATH that queued nothing, the reason (no such file, another file type, \"sample\" in\n"
           "the path, queued already, too long, a folder without a file to queue).\n"
           "Exit status: 0 when every item is Done, 1 when one is not or a PATH queued\n"
           "nothing, 2 on bad usage.\n"
           "\n"
           "A move or copy never replaces an existing file unless --yes is given; the replaced\n"
           "file then goes to the Trash. Without --yes such an item fails. A missing top-level\n"
           "target folder (the one below /) is never created.\n"
           "\n"
           "--dry-run does everything up to the file operation, makes every check of the\n"
           "real file operation (same name, destination taken, also by a file planned before,\n"
           "a folder that would not be created) and leaves every file where it is. An item the\n"
           "real run would refuse fails with the same reason; any other item that got that far\n"
           "is reported as planned, with its action:\n"
           "number, \"Planned\", old path, new path, Rename/Move/Copy (TAB-separated).\n"
           "--api URL looks shows and episodes up at URL instead of the configured address:\n"
           "the environment variable VANTEL_API_BASE, else the registry value \"apibase\" of\n"
           "the program's key, else https://api.tvmaze.com.\n"
           "\n"
           "Every rename, move and copy is recorded in the journal (journal.dat in the work\n"
           "folder) as it is made, so it can be undone later, also after the run was killed.\n"
           "--history lists the runs, newest first: number, time, how many file operations,\n"
           "and done, undone, partly undone or undo failed.\n"
           "--undo undoes the newest run not undone yet, --undo N run N: its operations newest\n"
           "first, a rename or move back to the old name, a copy into the Trash. Nothing is\n"
           "replaced or lost: an undo is refused when the file is no longer where the run put\n"
           "it, when another file took the old name, or (a copy) when the original is gone.\n"
           "One line per operation: its number, Undone/Skipped/Refused/Failed, where the file\n"
           "is, where it goes back to, what happened. Exit status: 0 when all were undone, 1\n"
           "otherwise, and 1 when there is nothing to undo.\n"
           "\n"
           "The filter list (filters.dat) and the exceptions (man.dat), as the window edits them:\n"
           "--filters and --exceptions list them (number, then the window's columns).\n"
           "--add-filter adds a filter with the filter wizard's fields: the condition on the\n"
           "show name (--show) or the file type (--type), not case-sensitive, wildcards *, ?\n"
           "and #, none for anything; --not for \"Doesn't Equal\"; the action (--rename, the\n"
           "default, or --move/--copy to FOLDER, which may hold [show], [s] and [ss]); the new\n"
           "name --mask (default \"[show] - [s]x[ee] - [title]\"). The first filter that matches\n"
           "a file is used, and a new filter goes to the end of the list: behind a filter for\n"
           "anything it applies once moved up (--move-filter N 1).\n"
           "--add-exception DETECTED NEW searches shows detected as DETECTED under NEW.\n"
           "--remove-... N removes entry N (the last filter stays); --move-... N TO moves entry\n"
           "N to position TO, or one up or down (TO is up or down). A change prints the list.\n"
           "\n"
           "--detect shows what filename detection makes of each NAME, in order, without\n"
           "queueing or renaming anything. NAME is a file name, or a path (it need not exist):\n"
           "then the name of the folder holding the file is tried first, as the queue does.\n"
           "One line per NAME: show, season, episode, the id of the detection row that\n"
           "matched, and the show as it would be searched after the exceptions of the\n"
           "Exceptions list (man.dat; lower case when one applied); or \"no match\" and NAME.\n"
           "Exit status: 0 when every NAME matched, 1 when one did not. With logging=2 the\n"
           "log on standard error shows each name tried.\n"
           "\n"
           "Settings (stored for the current user, shared with the Vantel window):\n"
           "  types      accepted extensions, e.g. avi;mkv;mpg;mp4\n"
           "  context    0, 1 or 2: desktop menu entries never set up, off, on\n"
           "  confirm    1: ask before each file operation (needs a terminal)\n"
           "  nocache    1: bypass the show and episode caches\n"
           "  noutf8     1: do not decode downloaded text as UTF-8\n"
           "  logging    2: verbose log, 1: normal\n"
           "  autoclose  1: close when the queue is done\n"
           "--get prints the value in effect; when none is stored that is the default, and\n"
           "standard error says so.\n"
           "\n"
           "Interrupt (Ctrl+C) finishes the current step, then stops; a second one stops at "
           "once.\n";
}

std::string queuePath(const std::string& given) {
    if (given.empty() || given.front() == '/' || given.front() == '"') return given;
    std::error_code error;
    std::filesystem::path whole = std::filesystem::absolute(given, error);
    if (error) return given;
    return whole.lexically_normal().string();
}

}  // namespace vantel
