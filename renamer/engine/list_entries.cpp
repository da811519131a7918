#include "renamer/engine/list_entries.h"

#include "renamer/common/text.h"

namespace vantel {

std::optional<EntryProblem> filterChoicesProblem(const FilterChoices& choices) {
    if (choices.action < kActionRename || choices.action > kActionCopy)
        return EntryProblem{"Action not valid", "The action must be Rename, Move or Copy"};
    if (choices.action != kActionRename && choices.path.size() < 3)
        return EntryProblem{"Path not valid", "You must enter a complete path"};
    return std::nullopt;
}

ActionFilter wizardFilter(const FilterChoices& choices, const ActionFilter* edited) {
    ActionFilter filter = edited ? *edited : ActionFilter{};
    filter.removed = false;
    filter.unloaded_line.reset();

    std::string condition = lowerCase(choices.condition);
    // A file type is typed with or without its dot; the extension it is compared with has none.
    if (choices.file_type) std::erase(condition, '.');
    if (condition.empty()) condition = "*";
    const int32_t mode = choices.doesnt_equal ? kModeDoesntEqual : kModeEquals;
    if (choices.file_type) {
        filter.type_pattern = condition;
        filter.type_mode = mode;
    } else {
        filter.show_pattern = condition;
        filter.show_mode = mode;
    }
    filter.description = std::string(choices.file_type ? "File Type" : "Show Name") + " " +
                         (choices.doesnt_equal ? "Doesn't Equal" : "Equals") + " " +
                         (condition == "*" ? "Anything" : condition);

    filter.action = choices.action;
    filter.enabled = true;
    filter.dest_folder.clear();
    if (choices.action != kActionRename) {
        filter.dest_folder = choices.path;
        if (!filter.dest_folder.empty() && filter.dest_folder.back() != '/')
            filter.dest_folder += '/';
    }
    filter.name_mask = choices.mask.empty() ? kDefaultMask : choices.mask;
    return filter;
}

FilterChoices filterChoices(const ActionFilter& filter) {
    FilterChoices choices;
    if (!filter.type_pattern.empty()) {
        choices.file_type = true;
        choices.doesnt_equal = filter.type_mode != kModeEquals;
        choices.condition = filter.type_pattern;
    } else if (!filter.show_pattern.empty()) {
        choices.doesnt_equal = filter.show_mode != kModeEquals;
        choices.condition = filter.show_pattern;
    }
    choices.action = filter.action;
    choices.path = filter.dest_folder;
    choices.mask = filter.name_mask;
    return choices;
}

std::optional<EntryProblem> exceptionEntryProblem(const std::string& detected_name,
                                                  const std::string& new_show_name) {
    if (detected_name.empty())
        return EntryProblem{"Detected Name Required", "Please enter a detected show name"};
    if (new_show_name.empty())
        return EntryProblem{"New Name Required", "Please enter a new show name"};
    return std::nullopt;
}

}  // namespace vantel
