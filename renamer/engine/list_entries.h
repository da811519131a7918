#pragma once
// What the filter wizard and the "Add Exception" dialog store: the rules that turn the fields a
// user fills in into an ActionFilter or an exception, and the checks that refuse an entry, as
// plain functions so that every front end (the wizard, the headless front end's list commands)
// stores exactly the same.
//
//   FilterChoices choices;              // "File Type" "Equals" ".MKV", Move & Rename, "/tv"
//   choices.file_type = true;
//   choices.condition = ".MKV";
//   choices.action = kActionMove;
//   choices.path = "/tv";
//   if (auto problem = filterChoicesProblem(choices)) ShowMessage(problem->caption, ...);
//   ActionFilter f = wizardFilter(choices);  // type_pattern "mkv", dest_folder "/tv/",
//                                            // name_mask "[show] - [s]x[ee] - [title]"

#include "renamer/engine/filters.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vantel {

// The mask the wizard fills in when the user leaves it empty.
inline constexpr const char* kDefaultMask = "[show] - [s]x[ee] - [title]";

// The wizard's fields, as the user gave them.
struct FilterChoices {
    bool file_type = false;     // subject "File Type"; otherwise "Show Name"
    bool doesnt_equal = false;  // operator "Doesn't Equal"; otherwise "Equals"
    std::string condition;      // as typed; "" (or "*") for anything
    FileAction action = kActionRename;
    std::string path;  // Move & Rename, Copy & Rename: the destination folder as typed
    std::string mask;  // as typed; "" for the default mask
};

// Why an entry cannot be stored, as the message box says it.
struct EntryProblem {
    std::string caption;
    std::string text;
};

// filterChoicesProblem: "Path not valid" / "You must enter a complete path" for a move or copy
// whose path is shorter than 3 characters (the wizard's one check), "Action not valid" for an
// action other than 1 to 3; nullopt when the choices can be stored.
std::optional<EntryProblem> filterChoicesProblem(const FilterChoices& choices);

// wizardFilter: the filter the wizard stores for choices. The condition goes to the subject's
// pattern, lower case (conditions are not case-sensitive, and the show's title is compared in
// lower case), with every "." removed for a file type, "*" when empty; the subject's mode is
// kModeEquals or kModeDoesntEqual. The other condition is taken from edited (the filter being
// edited) or left empty. Enabled; a move or copy path gets a trailing "/", a rename none; an
// empty mask becomes "[show] - [s]x[ee] - [title]"; the description reads e.g. "Show Name
// Equals Anything" or "File Type Doesn't Equal mkv". The choices must have passed
// filterChoicesProblem.
ActionFilter wizardFilter(const FilterChoices& choices, const ActionFilter* edited = nullptr);

// filterChoices: the wizard's fields for editing filter: the file-type condition when it has one,
// else the show-name condition ("Doesn't Equal" for any mode but kModeEquals), the action, the
// path and the mask as stored.
FilterChoices filterChoices(const ActionFilter& filter);

// exceptionEntryProblem: the "Add Exception" dialog's checks: "Detected Name Required" /
// "Please enter a detected show name", "New Name Required" / "Please enter a new show name";
// nullopt when both names are given.
std::optional<EntryProblem> exceptionEntryProblem(const std::string& detected_name,
                                                  const std::string& new_show_name);

}  // namespace vantel
