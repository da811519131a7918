// The window's commands on the filter and exception lists: add, edit, remove, move.

#include "renamer/engine/core.h"

namespace vantel {

namespace {

// One of the two lists with its file operations, so that both get the same commands.
template <class List>
struct ListCommands {
    Core& core;
    List& list;
    CoreList which;
    bool (Core::*save)();
    bool (Core::*load)();
    void (Core::*refresh)();

    // Loads the list again from its file. A load that fails leaves the rows as they were; they
    // are refilled from memory so that the window never shows entries the list no longer holds.
    void reload() {
        if (!(core.*load)()) (core.*refresh)();
    }

    void select(int32_t row) {
        if (row >= 1) core.view().listRowSelected(which, row);
    }

    void remove(int32_t index) {
        if (!list.validIndex(index)) return;
        list.at(index).removed = true;
        (core.*save)();
        reload();
        select(std::min(index, list.count()));
    }

    // Exchanges entries index and index + step when both exist.
    void move(int32_t index, int32_t step) {
        const int32_t other = index + step;
        if (!list.validIndex(index) || !list.validIndex(other)) {
            // Up on the first row: the list only gets the focus back.
            if (step < 0 && index == 1) select(index);
            return;
        }
        list.swap(index, other);
        const bool saved = (core.*save)();
        reload();
        // A failed save reloads the old order: the entry is still where it was.
        select(saved ? other : index);
    }
};

ListCommands<FilterList> filterCommands(Core& core) {
    return {core,
            core.filters(),
            CoreList::Filters,
            &Core::savefilters,
            &Core::loadfilters,
            &Core::refresh_lv2};
}

ListCommands<ExceptionList> exceptionCommands(Core& core) {
    return {core,
            core.exceptions(),
            CoreList::Exceptions,
            &Core::saveefilters,
            &Core::loadefilters,
            &Core::refresh_lv3};
}

// A filter as the wizard gives it: the user's own entry, neither marked nor a kept line.
ActionFilter userFilter(ActionFilter filter) {
    filter.removed = false;
    filter.unloaded_line.reset();
    return filter;
}

}  // namespace

bool Core::addException(const std::string& detected_name, const std::string& new_show_name) {
    m_exceptions.append(detected_name, new_show_name);
    const bool saved = saveefilters();
    refresh_lv3();
    return saved;
}

bool Core::addFilter(const ActionFilter& filter) {
    m_filters.append(userFilter(filter));
    const bool saved = savefilters();
    refresh_lv2();
    return saved;
}

bool Core::editFilter(int32_t index, const ActionFilter& filter) {
    if (!m_filters.validIndex(index)) return false;
    m_filters.at(index) = userFilter(filter);
    const bool saved = savefilters();
    refresh_lv2();
    return saved;
}

void Core::removeException(int32_t index) {
    exceptionCommands(*this).remove(index);
}

void Core::removeFilter(int32_t index) {
    if (m_filters.count() == 1) {
        ShowMessage("Unable to remove filter", "You must have at least one filter", kIconWarning,
                    0);
        return;
    }
    filterCommands(*this).remove(index);
}

void Core::moveExceptionUp(int32_t index) {
    exceptionCommands(*this).move(index, -1);
}

void Core::moveExceptionDown(int32_t index) {
    exceptionCommands(*this).move(index, 1);
}

void Core::moveFilterUp(int32_t index) {
    filterCommands(*this).move(index, -1);
}

void Core::moveFilterDown(int32_t index) {
    filterCommands(*this).move(index, 1);
}

}  // namespace vantel
