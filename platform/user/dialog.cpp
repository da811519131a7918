// Modal dialogs through the host's hook, with a plain-text fallback.

#include "platform/user/dialog.h"

#include <cstdio>

namespace {

thread_local ModalDialogHook t_dialogHook = nullptr;
thread_local void* t_dialogContext = nullptr;

int defaultButton(const ModalDialogRequest& request) {
    for (const DialogButton& b : request.buttons)
        if (b.isDefault) return b.id;
    return request.buttons.empty() ? IDCANCEL : request.buttons.front().id;
}

}  // namespace

void SetModalDialogHook(ModalDialogHook hook, void* context) {
    t_dialogHook = hook;
    t_dialogContext = context;
}

int ShowModalDialog(HWND owner, const ModalDialogRequest& request) {
    if (t_dialogHook) return t_dialogHook(t_dialogContext, owner, request);
    // Nobody can answer a dialog here: show what it says and take its default answer.
    std::fprintf(stderr, "%s\n", request.caption.c_str());
    for (const DialogLine& line : request.lines)
        std::fprintf(stderr, "%s\n", line.text.c_str());
    std::fflush(stderr);
    return defaultButton(request);
}
