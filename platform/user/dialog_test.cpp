#include "platform/user/dialog.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct Seen {
    int calls = 0;
    HWND owner = nullptr;
    std::string caption;
    int answer = IDCANCEL;
};

int recordingHook(void* context, HWND owner, const ModalDialogRequest& request) {
    auto* seen = static_cast<Seen*>(context);
    ++seen->calls;
    seen->owner = owner;
    seen->caption = request.caption;
    return seen->answer;
}

ModalDialogRequest request(std::vector<DialogButton> buttons) {
    ModalDialogRequest r;
    r.caption = "Caption";
    r.lines = {{40, 10, "first line"}, {40, 21, "second line"}};
    r.buttons = std::move(buttons);
    return r;
}

}  // namespace

TEST(ModalDialog, WithoutHookPrintsTheTextAndTakesTheDefaultButton) {
    struct Case {
        std::vector<DialogButton> buttons;
        int expected;
    };
    const Case cases[] = {
        {{{IDOK, "OK", 0, 0, 0, 0, false}, {IDCANCEL, "Cancel", 0, 0, 0, 0, true}}, IDCANCEL},
        {{{7, "Yes", 0, 0, 0, 0, false}, {IDOK, "OK", 0, 0, 0, 0, false}}, 7},
        {{}, IDCANCEL},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        int pressed = ShowModalDialog(nullptr, request(c.buttons));
        std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(pressed, c.expected);
        EXPECT_EQ(printed, "Caption\nfirst line\nsecond line\n");
    }
}

TEST(ModalDialog, TheHookAnswersForItsOwnThreadOnly) {
    Seen seen;
    seen.answer = 42;
    SetModalDialogHook(recordingHook, &seen);
    HWND owner = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(ShowModalDialog(owner, request({{IDOK, "OK", 0, 0, 0, 0, true}})), 42);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.owner, owner);
    EXPECT_EQ(seen.caption, "Caption");

    // Another thread has no hook: it falls back to the text and its default button.
    std::thread other([] {
        testing::internal::CaptureStderr();
        EXPECT_EQ(ShowModalDialog(nullptr, request({{IDOK, "OK", 0, 0, 0, 0, true}})), IDOK);
        testing::internal::GetCapturedStderr();
    });
    other.join();
    EXPECT_EQ(seen.calls, 1);

    SetModalDialogHook(nullptr, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowModalDialog(nullptr, request({{IDOK, "OK", 0, 0, 0, 0, true}})), IDOK);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(seen.calls, 1);
}
