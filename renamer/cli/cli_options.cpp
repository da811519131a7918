#include "renamer/cli/cli_options.h"

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
            error = "unknown option '" + std::string(arg) + "'";
            return false;
        }
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
           "       vantel-cli --help | --version\n"
           "\n"
           "Queues each PATH (a video file, or a folder: every video file below it), works the\n"
           "queue through as the Vantel window does, and prints one line per item on standard\n"
           "output: its number, final status, path, and the new path or the reason it failed,\n"
           "separated by TABs. The activity log goes to standard error.\n"
           "Exit status: 0 when every item is Done, 1 when one is not, 2 on bad usage.\n"
           "\n"
           "A move or copy never replaces an existing file unless --yes is given; the replaced\n"
           "file then goes to the Trash. Without --yes such an item fails. A missing top-level\n"
           "target folder (the one below /) is never created.\n"
           "\n"
           "--dry-run does everything up to the file operation and leaves every file where it\n"
           "is; an item that got that far is reported as planned, with its action:\n"
           "number, \"Planned\", old path, new path, Rename/Move/Copy (TAB-separated).\n"
           "--api URL looks shows and episodes up at URL instead of the configured address:\n"
           "the environment variable VANTEL_API_BASE, else the registry value \"apibase\" of\n"
           "the program's key, else https://api.tvmaze.com.\n"
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
           "--get prints the stored value (nothing stored: exit status 1).\n"
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
