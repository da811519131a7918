#pragma once
// Modal dialogs shown by the host. This layer draws nothing, so a component that wants a modal
// dialog (a control's about box) describes it, and the host (the Qt window) shows it through a
// hook it registers; the call returns when the dialog ends, with the identifier of the button
// that ended it.
//
//   ModalDialogRequest about;
//   about.caption = "About Wirran";
//   about.lines = {{40, 10, "Wirran Windows Sockets Control"}};
//   about.buttons = {{IDOK, "OK", 221, 7, 32, 14, true}};
//   int pressed = ShowModalDialog(nullptr, about);
//
// Without a hook (a headless program) the caption and the lines are printed to standard error
// and the default button counts as pressed, so nothing waits for a user who cannot answer.

#include <string>
#include <vector>

#include "platform/user/user.h"

// Button identifiers with their Windows values.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Positions and sizes are in dialog units, as a dialog template gives them.
struct DialogLine {
    int x = 0;
    int y = 0;
    std::string text;  // UTF-8
};

struct DialogButton {
    int id = IDOK;
    std::string text;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool isDefault = false;
};

struct ModalDialogRequest {
    std::string caption;
    int width = 0;  // the dialog's size; 0 lets the host choose
    int height = 0;
    std::string fontName;  // empty: the host's dialog font
    int fontPoints = 0;
    int iconX = 0;  // the application's information icon, when showIcon is set
    int iconY = 0;
    bool showIcon = false;
    std::vector<DialogLine> lines;
    std::vector<DialogButton> buttons;
};

// The host's dialog: shows the request modally over owner (nullptr: the host's active window)
// and returns the identifier of the button that ended it, or IDCANCEL for the close box.
using ModalDialogHook = int (*)(void* context, HWND owner, const ModalDialogRequest& request);

// SetModalDialogHook registers the calling thread's dialog hook (one per thread, as the pump
// hook); nullptr removes it.
void SetModalDialogHook(ModalDialogHook hook, void* context);

// ShowModalDialog shows a dialog through the calling thread's hook and returns its answer.
// Without a hook it prints the caption and each line to standard error and returns the default
// button's identifier (the first button's when none is marked default, IDCANCEL when there is no
// button). Never fails.
int ShowModalDialog(HWND owner, const ModalDialogRequest& request);
