#include "renamer/cli/list_commands.h"

#include "renamer/cli/cli_text.h"
#include "renamer/cli/console_view.h"
#include "renamer/common/workdir.h"
#include "renamer/engine/core.h"
#include "renamer/engine/list_entries.h"

namespace vantel {

namespace {

using Command = CliOptions::ListCommand;

void printFilters(const FilterList& filters, std::ostream& out) {
    for (int32_t i = 1; i <= filters.count(); ++i) {
        const ActionFilter& f = filters.at(i);
        out << i << '\t' << oneLine(f.description) << '\t' << actionText(f.action) << '\t'
            << oneLine(f.name_mask) << '\t' << oneLine(f.dest_folder) << '\n';
    }
}

void printExceptions(const ExceptionList& exceptions, std::ostream& out) {
    for (int32_t i = 1; i <= exceptions.count(); ++i) {
        const ExceptionFilter& e = exceptions.at(i);
        out << i << '\t' << oneLine(e.detected_name) << '\t' << oneLine(e.new_show_name) << '\n';
    }
}

// A field of a data file line cannot hold a TAB or a line break: it would be changed on saving.
bool oneLineFields(const Command& command, std::ostream& err) {
    for (const std::string* field : {&command.detected_name, &command.new_show_name,
                                     &command.condition, &command.path, &command.mask}) {
        if (field->find_first_of("\t\r\n") != std::string::npos) {
            err << "vantel-cli: a list entry cannot hold a TAB or a line break\n";
            return false;
        }
    }
    return true;
}

// The position an entry moves to, or 0 when it is outside the list.
int32_t targetPosition(const Command& command, int32_t count) {
    int32_t to = command.to == "up"     ? command.index - 1
                 : command.to == "down" ? command.index + 1
                                        : std::stoi(command.to);
    return to >= 1 && to <= count ? to : 0;
}

// Moves entry index to position to, one neighbour at a time as "Move Up" and "Move Down" do,
// then saves once and loads the list again. False when saving failed (the file and the list
// keep the old order).
template <class List>
bool moveEntry(Core& core, List& list, int32_t index, int32_t to, bool (Core::*save)(),
               bool (Core::*load)()) {
    for (int32_t at = index; at != to; at += to > at ? 1 : -1)
        list.swap(at, to > at ? at + 1 : at - 1);
    const bool saved = (core.*save)();
    (core.*load)();
    return saved;
}

int change(Core& core, const Command& command, std::ostream& err) {
    const int32_t count = command.filters ? core.filters().count() : core.exceptions().count();
    const char* what = command.filters ? "filter" : "exception";
    if ((command.kind == Command::Remove || command.kind == Command::Move) &&
        command.index > count) {
        err << "vantel-cli: there is no " << what << ' ' << command.index << " (the list holds "
            << count << ")\n";
        return 1;
    }
    switch (command.kind) {
        case Command::Add: {
            std::optional<EntryProblem> problem;
            FilterChoices choices{command.file_type, command.doesnt_equal,
                                  command.condition, static_cast<FileAction>(command.action),
                                  command.path,      command.mask};
            problem = command.filters
                          ? filterChoicesProblem(choices)
                          : exceptionEntryProblem(command.detected_name, command.new_show_name);
            if (problem) {
                err << "vantel-cli: " << problem->caption << ": " << problem->text << '\n';
                return 1;
            }
            const bool saved =
                command.filters ? core.addFilter(wizardFilter(choices))
                                : core.addException(command.detected_name, command.new_show_name);
            return saved ? 0 : 1;
        }
        case Command::Remove:
            if (command.filters) {
                // The core refuses to remove the last filter and says so in a message box.
                core.removeFilter(command.index);
                return core.filters().count() < count ? 0 : 1;
            }
            core.removeException(command.index);
            return core.exceptions().count() < count ? 0 : 1;
        case Command::Move: {
            const int32_t to = targetPosition(command, count);
            if (to == 0) {
                err << "vantel-cli: " << what << ' ' << command.index << " cannot move "
                    << (command.to == "up" || command.to == "down" ? command.to
                                                                   : "to " + command.to)
                    << " (the list holds " << count << ")\n";
                return 1;
            }
            const bool saved = command.filters
                                   ? moveEntry(core, core.filters(), command.index, to,
                                               &Core::savefilters, &Core::loadfilters)
                                   : moveEntry(core, core.exceptions(), command.index, to,
                                               &Core::saveefilters, &Core::loadefilters);
            return saved ? 0 : 1;
        }
        case Command::List:
        case Command::None:
            break;
    }
    return 0;
}

}  // namespace

int runListCommand(const Command& command, std::ostream& out, std::ostream& err) {
    ConsoleView view(err, nullptr);
    Core core(&view, nullptr, "");
    core.settings().workdir = setworkdir(core.log());
    readSettings(core.settings());
    const bool loaded = command.filters ? core.loadfilters() : core.loadefilters();
    if (command.kind != Command::List) {
        // A list that did not load whole is not changed: its entries are not all known, and the
        // numbers the user sees would not be those of the file.
        if (!loaded) {
            err << "vantel-cli: "
                << (command.filters ? FilterList::kFileName : ExceptionList::kFileName)
                << " did not load (see above); nothing was changed\n";
            return 1;
        }
        if (!oneLineFields(command, err)) return 1;
        const int status = change(core, command, err);
        if (status != 0) return status;
    }
    if (command.filters) {
        printFilters(core.filters(), out);
    } else {
        printExceptions(core.exceptions(), out);
    }
    return loaded ? 0 : 1;
}

}  // namespace vantel
