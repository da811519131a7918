#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "platform/user/test_support.h"
#include "platform/user/user.h"

using namespace vantel::user::test;
using namespace std::chrono_literals;

TEST(Window, CreationAndDestructionMessagesInOrder) {
    Recorder r;
    HWND parent = makeWindow(&r, "parent");
    HWND child = makeWindow(&r, "child", parent);
    ASSERT_TRUE(parent && child);
    EXPECT_EQ(GetParent(child), parent);
    ASSERT_TRUE(DestroyWindow(parent));
    std::vector<Seen> expected{{parent, WM_NCCREATE, 0}, {parent, WM_CREATE, 0},
                               {child, WM_NCCREATE, 0},  {child, WM_CREATE, 0},
                               {parent, WM_DESTROY, 0},  {child, WM_DESTROY, 0},
                               {child, WM_NCDESTROY, 0}, {parent, WM_NCDESTROY, 0}};
    EXPECT_EQ(r.take(), expected);
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
}

TEST(Window, CreationFailsWhenProcedureRefuses) {
    struct Case {
        UINT message;
        LRESULT answer;
        std::vector<UINT> heard;
    } cases[] = {
        {WM_NCCREATE, 0, {WM_NCCREATE, WM_NCDESTROY}},
        {WM_CREATE, -1, {WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}},
    };
    for (const auto& c : cases) {
        Recorder r;
        r.answers[c.message] = c.answer;
        EXPECT_EQ(makeWindow(&r, "refused"), nullptr);
        EXPECT_EQ(r.messages(), c.heard);
        EXPECT_EQ(FindWindowA(nullptr, "refused"), nullptr);
    }
    EXPECT_EQ(
        CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
        nullptr);
}

TEST(Window, DestroyDropsMessagesAndTimers) {
    Recorder r;
    HWND gone = makeWindow(&r);
    HWND kept = makeWindow(&r);
    PostMessageA(gone, WM_USER + 1, 0, 0);
    PostMessageA(kept, WM_USER + 2, 0, 0);
    PostMessageA(gone, WM_USER + 3, 0, 0);
    SetTimer(gone, 1, 10, nullptr);
    ASSERT_TRUE(DestroyWindow(gone));
    EXPECT_FALSE(IsWindow(gone));
    EXPECT_FALSE(DestroyWindow(gone));
    EXPECT_FALSE(PostMessageA(gone, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA(gone, WM_USER, 0, 0), 0);
    EXPECT_FALSE(KillTimer(gone, 1));
    std::this_thread::sleep_for(40ms);
    MSG m;
    std::vector<HWND> left;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        left.push_back(m.hwnd);
    EXPECT_EQ(left, std::vector<HWND>{kept});
    // A new window never takes the handle of one that is gone.
    HWND next = makeWindow(&r);
    EXPECT_NE(next, gone);
    EXPECT_TRUE(IsWindow(next));
    DestroyWindow(next);
    DestroyWindow(kept);
}

TEST(Window, OnlyTheOwnerThreadDestroys) {
    Recorder r;
    HWND w = makeWindow(&r);
    BOOL fromOther = TRUE;
    std::thread([&] { fromOther = DestroyWindow(w); }).join();
    EXPECT_FALSE(fromOther);
    EXPECT_TRUE(IsWindow(w));
    // The default procedure closes a window by destroying it.
    SendMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w));
}

TEST(Window, SubclassChainsToPreviousProcedure) {
    Recorder r;
    HWND w = makeWindow(&r);
    static WNDPROC s_previous;
    WNDPROC sub = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_USER) return 42;
        return CallWindowProcA(s_previous, h, m, wp, lp);
    };
    s_previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(sub)));
    EXPECT_EQ(s_previous, &recordingProc);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(sub));
    r.take();
    EXPECT_EQ(SendMessageA(w, WM_USER, 0, 0), 42);
    SendMessageA(w, WM_USER + 1, 0, 0);
    EXPECT_EQ(r.messages(), std::vector<UINT>{WM_USER + 1});
    // Putting the old procedure back hands out the subclass.
    EXPECT_EQ(SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_previous)),
              reinterpret_cast<LONG_PTR>(sub));
    SendMessageA(w, WM_USER, 0, 0);
    EXPECT_EQ(r.messages(), std::vector<UINT>{WM_USER});
    EXPECT_EQ(SetWindowLongPtrA(w, GWLP_WNDPROC, 0), 0);
    DestroyWindow(w);
}

TEST(Window, CaptionCopiesWithinBuffer) {
    Recorder r;
    HWND w = makeWindow(&r, "Vantel 4.0");
    struct Case {
        const char* caption;
        int size;
        std::string expected;
    } cases[] = {
        {"Vantel 4.0", 1, ""},
        {"Vantel 4.0", 5, "Vant"},
        {"Vantel 4.0", 10, "Vantel 4."},
        {"Vantel 4.0", 11, "Vantel 4.0"},
        {"Vantel 4.0", 100, "Vantel 4.0"},
        // The two bytes of "ü" stay together or go together.
        {"Z\xC3\xBCrich", 3, "Z"},
        {"Z\xC3\xBCrich", 4, "Z\xC3\xBC"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(SetWindowTextA(w, c.caption));
        char buffer[128];
        std::memset(buffer, 'x', sizeof buffer);
        int n = GetWindowTextA(w, buffer, c.size);
        EXPECT_EQ(n, static_cast<int>(c.expected.size())) << c.caption << " " << c.size;
        EXPECT_EQ(std::string(buffer), c.expected);
    }
    char buffer[4] = "abc";
    EXPECT_EQ(GetWindowTextA(w, buffer, 0), 0);
    EXPECT_STREQ(buffer, "abc");
    DestroyWindow(w);
    EXPECT_FALSE(SetWindowTextA(w, "x"));
    EXPECT_EQ(GetWindowTextA(w, buffer, 4), 0);
}

TEST(Window, FindsNewestTopLevelWindowByCaption) {
    Recorder r;
    HWND older = makeWindow(&r, "Vantel 4.0");
    HWND child = makeWindow(&r, "Vantel 4.0", older);
    HWND newer = makeWindow(&r, "Vantel 4.0");
    EXPECT_EQ(FindWindowA(nullptr, "vantel 4.0"), newer);
    EXPECT_EQ(FindWindowA("vantelrecordingwindow", "Vantel 4.0"), newer);
    EXPECT_EQ(FindWindowA("Static", "Vantel 4.0"), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, "Vantel 4"), nullptr);
    DestroyWindow(newer);
    EXPECT_EQ(FindWindowA(nullptr, "Vantel 4.0"), older);
    EXPECT_NE(FindWindowA(nullptr, "Vantel 4.0"), child);
    DestroyWindow(older);
    EXPECT_EQ(FindWindowA(nullptr, "Vantel 4.0"), nullptr);
}

TEST(Window, ClassRegistrationRules) {
    WNDCLASSA wc{0, recordingProc, "VantelClassRules"};
    ATOM atom = RegisterClassA(&wc);
    EXPECT_NE(atom, 0);
    EXPECT_EQ(RegisterClassA(&wc), atom);
    WNDCLASSA clash{0, DefWindowProcA, "vantelclassrules"};
    EXPECT_EQ(RegisterClassA(&clash), 0);
    WNDCLASSA empty{0, DefWindowProcA, ""};
    EXPECT_EQ(RegisterClassA(&empty), 0);
    // A class may also be named by its atom.
    HWND w = CreateWindowExA(0, reinterpret_cast<const char*>(static_cast<uintptr_t>(atom)), "", 0,
                             0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&recordingProc));
    DWORD pid = 0;
    EXPECT_EQ(GetWindowThreadProcessId(w, &pid), GetCurrentThreadId());
    EXPECT_EQ(pid, GetCurrentProcessId());
    DestroyWindow(w);
}
