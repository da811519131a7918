// "Open" and program start: posix_spawn with an argument vector, never a shell command line.

#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <thread>

#include "platform/shell/operation.h"
#include "platform/shell/shell.h"

extern char** environ;

namespace {

using namespace shellerror;

HINSTANCE shellResult(int code) {
    return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(code));
}

// The layer's result of startProgram in ShellExecuteA's terms: above 32 for success, the
// Windows numbers at or below 32 kept, anything else 0.
int executeResult(int rc) {
    if (rc == 0) return SE_ERR_SUCCESS;
    return rc <= 32 ? rc : 0;
}

// "https://host/", "mailto:ann@example.com": a scheme of at least two characters and a colon.
bool looksLikeUrl(const std::string& text) {
    size_t colon = text.find(':');
    if (colon == std::string::npos || colon < 2) return false;
    for (size_t i = 0; i < colon; ++i) {
        char c = text[i];
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        bool other = (c >= '0' && c <= '9') || c == '+' || c == '.' || c == '-';
        if (!letter && !(i > 0 && other)) return false;
    }
    return true;
}

std::string openProgram() {
    const char* configured = getenv("VANTEL_OPEN_PROGRAM");
    return configured && *configured ? configured : "xdg-open";
}

}  // namespace

std::vector<std::string> splitCommandLine(const std::string& text) {
    std::vector<std::string> out;
    std::string current;
    bool quoted = false;
    bool started = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size() && text[i + 1] == '"') {
            current += '"';
            started = true;
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
            started = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (started) out.push_back(current);
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started) out.push_back(current);
    return out;
}

int startProgram(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& directory, pid_t* child) {
    if (program.empty()) return ERROR_FILE_NOT_FOUND;
    if (!directory.empty()) {
        struct stat st;
        if (stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());

    // The program starts with no blocked signals, the usual dispositions and a session of its
    // own, so whatever this process ignores or a terminal's Ctrl+C does not reach it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGCHLD, SIGINT, SIGQUIT, SIGTERM, SIGHUP}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    int err =
        program.find('/') != std::string::npos
            ? posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ)
            : posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) return shelldetail::resultFromErrno(err);

    if (child) {
        *child = pid;
    } else {
        // Nobody waits for the program, so a thread of ours reaps it when it ends.
        std::thread([pid] {
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }
    return 0;
}

HINSTANCE ShellExecuteA(HWND, const char* operation, const char* file, const char* parameters,
                        const char* directory, int) {
    if (operation && *operation && strcasecmp(operation, "open") != 0 &&
        strcasecmp(operation, "explore") != 0) {
        return shellResult(SE_ERR_NOASSOC);
    }
    if (!file || !*file) return shellResult(ERROR_FILE_NOT_FOUND);
    const std::string target = file;
    const std::string folder = directory ? directory : "";

    // A relative file is taken in the folder the program starts in.
    std::string where =
        !folder.empty() && target[0] != '/' ? shelldetail::joinPath(folder, target) : target;
    struct stat st;
    if (stat(where.c_str(), &st) != 0) {
        int err = errno;
        if (!looksLikeUrl(target)) {
            return shellResult(err == ENOTDIR ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
        }
    } else if (S_ISREG(st.st_mode) && access(where.c_str(), X_OK) == 0) {
        // A program: started itself, with its parameters, by its full path.
        char* real = realpath(where.c_str(), nullptr);
        std::string program = real ? real : where;
        free(real);
        int rc = startProgram(program, splitCommandLine(parameters ? parameters : ""), folder);
        if (rc != ERROR_BAD_FORMAT) return shellResult(executeResult(rc));
        // Marked executable but no program (a document on a file system that marks every file
        // executable): opened like any document.
    }

    int rc = startProgram(openProgram(), {target}, folder);
    if (rc == ERROR_FILE_NOT_FOUND) return shellResult(SE_ERR_NOASSOC);
    return shellResult(executeResult(rc));
}
