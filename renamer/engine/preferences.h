#pragma once
// The preferences dialog without a toolkit: what its seven controls show when it opens, and
// what pressing OK checks and stores, in order, so that the window (and a test) only draws the
// boxes.
//
//   PreferenceChoices choices = loadPreferences(core.settings());
//   choices.types = "AVI;.MKV;";             // the user's edits
//   if (applyPreferences(core, choices, program)) dialog.accept();  // "avi;mkv" stored

#include "renamer/common/settings.h"

#include <string>

namespace vantel {

class Core;

// The dialog's controls, by what they mean.
struct PreferenceChoices {
    bool context_menu = false;  // "Add To Context Menu for Folders && Video Files"
    bool confirm = false;       // "Confirm File Operations"
    bool nocache = false;       // "Disable Cache"
    bool noutf8 = false;        // "Disable UTF-8 Decoding"
    bool verbose = false;       // "Verbose Logging"
    bool autoclose = false;     // "Close when done"
    std::string types;          // "Additional Types:", as typed
};

// loadPreferences: the controls as the dialog opens: the context-menu box ticked when context
// is above 1, verbose logging when logging is not 1, the others as stored.
PreferenceChoices loadPreferences(const Settings& settings);

// applyPreferences: OK. A types text shorter than 3 characters is refused with the message
// "Filetypes Required" and nothing changes (false: the dialog stays open). Otherwise, in order:
// the cache warning (message id 1, so it can be silenced) when the cache is switched off; the
// types normalised (dots and one trailing ";" removed, lower case), the context-menu entries of
// the old types removed, the new types stored; the entries of the new types and folders added
// (context 2) or removed (context 1) for program, and context stored; then confirm, nocache,
// noutf8, logging and autoclose stored. The settings in memory follow each value stored.
bool applyPreferences(Core& core, const PreferenceChoices& choices, const std::string& program);

// setConfirmOperations: "Confirm File Operations" switched on or off at once, in memory and in
// the registry (the confirmation's "Don't show this again" box, ticked or unticked).
void setConfirmOperations(Core& core, bool on);

}  // namespace vantel
