// vantel-cli: the renamer's core without a window. Queues the paths of its command line, runs
// the queue with a plain message loop until it is worked through and reports every item; or,
// with --detect, only reports what detection makes of names.

#include "platform/user/user.h"
#include "renamer/cli/cli_options.h"
#include "renamer/cli/cli_text.h"
#include "renamer/cli/console_view.h"
#include "renamer/cli/detect_command.h"
#include "renamer/cli/dry_run.h"
#include "renamer/cli/journal_commands.h"
#include "renamer/cli/list_commands.h"
#include "renamer/cli/queue_paths.h"
#include "renamer/cli/setting_commands.h"
#include "renamer/cli/shell_confirm.h"
#include "renamer/common/version.h"
#include "renamer/engine/application.h"
#include "renamer/engine/core.h"

#include <pthread.h>
#include <unistd.h>
#include <csignal>
#include <iostream>
#include <thread>

using namespace vantel;

namespace {

// Interrupts are taken by a thread of their own (they are blocked everywhere else): the first
// one asks the core's window to close, as the window's close box does, so the current step
// finishes first; a second one ends the program at once.
void watchInterrupts(const sigset_t& signals, HWND window) {
    std::thread([signals, window] {
        int received = 0;
        for (int count = 0;; ++count) {
            if (sigwait(&signals, &received) != 0) return;
            if (count > 0) _exit(128 + received);
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
    }).detach();
}

int runQueue(const CliOptions& options, const sigset_t& signals) {
    ConsoleView view(std::cerr, isatty(STDIN_FILENO) ? &std::cin : nullptr);
    DryRunStages dry_run({.replace = options.yes});
    ApplicationOptions setup;
    setup.view = &view;
    setup.stages = options.dry_run ? &dry_run : nullptr;
    // No caption: a desktop window starting meanwhile must not take this for a running instance
    // and hand its files over to it.
    setup.caption = "";
    setup.api_base = options.api;
    // The shell's questions (a file in the way of a move or copy) are answered by --yes.
    setup.confirm = shellConfirmation(options.yes, std::cerr);
    Application app(std::move(setup));
    Core& core = app.core();
    watchInterrupts(signals, core.hwnd());

    app.start();
    // A dry run asks nobody: nothing is going to be done.
    if (options.dry_run) core.settings().confirm = false;
    // Each path that queues nothing is named with the reason, and makes the status 1.
    const bool all_queued = queueNamedPaths(app.core(), options.paths, std::cerr);
    app.setLoaded();
    app.runUntilWorkedThrough();

    int status = all_queued ? 0 : 1;
    for (int32_t i = 1; i <= core.queueCount(); ++i) {
        const QueueItem& item = core.item(i);
        if (const auto op = options.dry_run ? dry_run.planFor(core, i) : std::nullopt) {
            std::cout << i << "\tPlanned\t" << oneLine(op->from) << '\t' << oneLine(op->to) << '\t'
                      << actionName(op->action) << '\n';
            continue;
        }
        std::string detail =
            item.state == kStateDone ? item.target_folder + item.new_name : item.error_text;
        std::cout << i << '\t' << core.statusText(i) << '\t' << oneLine(item.path) << '\t'
                  << oneLine(detail) << '\n';
        if (item.state != kStateDone) status = 1;
    }
    std::cout.flush();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    CliOptions options;
    std::string error;
    if (!parseCommandLine(argc, argv, options, error)) {
        std::cerr << "vantel-cli: " << error << "\nTry 'vantel-cli --help'.\n";
        return 2;
    }
    if (options.help) {
        std::cout << usageText();
        return 0;
    }
    if (options.version) {
        std::cout << "vantel-cli " << versionText() << " (build " << kVersionBuild << ")\n";
        return 0;
    }
    if (options.history) return runHistory(std::cout, std::cerr);
    if (options.undo) return runUndo(options.undo_run, std::cout, std::cerr);
    if (options.list.kind != CliOptions::ListCommand::None)
        return runListCommand(options.list, std::cout, std::cerr);
    if (!options.settings.empty())
        return runSettingCommands(options.settings, std::cout, std::cerr);
    if (options.detect) {
        ConsoleView view(std::cerr, nullptr);
        Core core(&view, nullptr, "");
        prepareDetect(core);
        return runDetect(core, options.paths, std::cout);
    }
    return runQueue(options, signals);
}
