#include "renamer/engine/application.h"

#include "renamer/common/reg.h"
#include "renamer/common/version.h"
#include "renamer/engine/instance.h"
#include "renamer/engine/startup.h"
#include "renamer/engine/test_core.h"
#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace vantel {

namespace {

// Every test gets its own registry, data folder and runtime folder, so that no window of
// another test program is found by caption and nothing of the user's is touched.
class ApplicationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv(kRegistryDirVariable, tree.path("registry").c_str(), 1);
        ::setenv("APPDATA", tree.path("appdata").c_str(), 1);
        std::filesystem::create_directories(tree.path("runtime"));
        ::setenv("XDG_RUNTIME_DIR", tree.path("runtime").c_str(), 1);
        modReg::SaveSettingString("", versionText());
        modReg::SaveSettingInt("logging", 2);
    }
    void TearDown() override {
        ::unsetenv(kRegistryDirVariable);
        ::unsetenv("APPDATA");
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    static bool logged(const RecordingView& view, const std::string& text) {
        return std::any_of(view.log.begin(), view.log.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        });
    }

    TestTree tree;
    RecordingView view;
};

int g_pumps = 0;
void countPumps(void*) {
    ++g_pumps;
}
int answerDialog(void* context, HWND, const ModalDialogRequest&) {
    return *static_cast<int*>(context);
}

// The current confirmation callback, left in place.
FileOperationConfirm currentConfirm() {
    FileOperationConfirm current = setFileOperationConfirm(nullptr);
    setFileOperationConfirm(current);
    return current;
}

TEST_F(ApplicationTest, SetsUpTheProcessInOrderAndPutsItBackAfterwards) {
    const ConfirmRequest overwrite{ConfirmKind::Overwrite, FO_MOVE, nullptr, "a", "b", true};
    std::vector<std::string> asked;
    setFileOperationConfirm([&](const ConfirmRequest&) {
        asked.push_back("before");
        return false;
    });
    int dialog_answer = 42;
    {
        ApplicationOptions options;
        options.view = &view;
        options.api_base = "http://127.0.0.1:9/api//";
        options.confirm = [&](const ConfirmRequest&) {
            asked.push_back("application");
            return true;
        };
        options.pump_hook = countPumps;
        options.dialog_hook = answerDialog;
        options.dialog_context = &dialog_answer;
        Application app(std::move(options));
        app.start();

        EXPECT_TRUE(currentConfirm()(overwrite));
        g_pumps = 0;
        PumpHostEvents();
        EXPECT_EQ(g_pumps, 1);
        EXPECT_EQ(ShowModalDialog(nullptr, ModalDialogRequest{}), 42);
        ASSERT_FALSE(view.log.empty());
        EXPECT_NE(view.log.front().find(startedLine()), std::string::npos);
        EXPECT_TRUE(logged(view, "Episode database: http://127.0.0.1:9/api"));
        EXPECT_EQ(app.core().apiBase(), "http://127.0.0.1:9/api");
        EXPECT_EQ(app.core().settings().workdir, tree.path("appdata/Vantel/"));
        EXPECT_FALSE(app.core().flags().loaded);
        app.queueCommandLine({});
        EXPECT_TRUE(app.core().timer1Enabled());
        app.setLoaded();
        EXPECT_TRUE(app.core().flags().loaded);
    }
    EXPECT_FALSE(currentConfirm()(overwrite));
    EXPECT_EQ(asked, (std::vector<std::string>{"application", "before"}));
    g_pumps = 0;
    PumpHostEvents();
    EXPECT_EQ(g_pumps, 0);
    EXPECT_NE(ShowModalDialog(nullptr, ModalDialogRequest{}), 42);
    setFileOperationConfirm(nullptr);
}

TEST_F(ApplicationTest, HeadlessRunWorksThroughTheQueueAndEnds) {
    ApplicationOptions options;
    options.view = &view;
    Application app(std::move(options));
    app.start();
    app.queueCommandLine({});
    app.setLoaded();
    EXPECT_TRUE(app.runUntilWorkedThrough());
    EXPECT_FALSE(app.core().timer1Enabled());
    EXPECT_TRUE(logged(view, "No work to do"));
}

TEST_F(ApplicationTest, ASecondStartHandsItsCommandLineToTheRunningInstance) {
    const std::string file = tree.file("videos/show.s01e02.avi");
    EXPECT_FALSE(Application::handOverToRunningInstance(file));  // nobody runs yet

    ApplicationOptions options;
    options.view = &view;
    options.caption = mainCaption();
    Application app(std::move(options));
    app.start();
    app.setLoaded();
    ASSERT_EQ(findRunningInstance(), app.core().hwnd());

    EXPECT_TRUE(Application::handOverToRunningInstance("\"" + file + "\""));
    ASSERT_EQ(app.core().queueCount(), 1);
    EXPECT_EQ(app.core().item(1).path, file);
    EXPECT_TRUE(app.core().timer1Enabled());

    // A headless run has no caption and is never found.
    ApplicationOptions headless;
    Application cli(std::move(headless));
    EXPECT_EQ(findRunningInstance(), app.core().hwnd());
}

TEST_F(ApplicationTest, OnlyInstanceMessagesWithTheirTagAndKindAreActedOn) {
    const std::string file = tree.file("videos/show.s01e03.avi");
    ApplicationOptions options;
    options.view = &view;
    options.caption = mainCaption();
    Application app(std::move(options));
    app.start();
    Core& core = app.core();
    auto send = [&](ULONG_PTR kind, std::string text) {
        text.push_back('\0');
        COPYDATASTRUCT data{kind, static_cast<DWORD>(text.size()), text.data()};
        SendMessageA(core.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    };
    send(2, kHandOverPrefix + file);               // another dwData
    send(3, "KQ|XX|C=" + file);                    // another kind
    send(3, "QK|PI|C=" + file);                    // another tag
    send(3, "KQ|");                                // too short to hold a kind
    SendMessageA(core.hwnd(), WM_COPYDATA, 0, 0);  // no record at all
    EXPECT_EQ(core.queueCount(), 0);
    EXPECT_FALSE(core.unloaded());

    // A close request while a pass runs waits for the pass; otherwise the window unloads.
    core.flags().busy = true;
    send(3, kUnloadText);
    EXPECT_FALSE(core.unloaded());
    EXPECT_TRUE(core.flags().quit_requested);
    EXPECT_TRUE(logged(view, "Got quit signal, finishing up..."));
    core.flags().busy = false;
    send(3, kUnloadText);
    EXPECT_TRUE(core.unloaded());
    EXPECT_EQ(view.closes, 1);
}

TEST_F(ApplicationTest, TheFrontEndSeesTheWindowsMessagesFirst) {
    const std::string file = tree.file("videos/show.s01e04.avi");
    std::vector<UINT> seen;
    ApplicationOptions options;
    options.caption = mainCaption();
    options.window_hook = [&](UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        seen.push_back(msg);
        if (msg == WM_COPYDATA) return 7;  // taken: the hand-over never sees it
        return std::nullopt;
    };
    Application app(std::move(options));
    app.start();
    std::string text = kHandOverPrefix + file;
    text.push_back('\0');
    COPYDATASTRUCT data{kInstanceMessageData, static_cast<DWORD>(text.size()), text.data()};
    EXPECT_EQ(SendMessageA(app.core().hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 7);
    EXPECT_EQ(app.core().queueCount(), 0);
    SendMessageA(app.core().hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(app.core().unloaded());
    EXPECT_EQ(seen, (std::vector<UINT>{WM_COPYDATA, WM_CLOSE}));
}

}  // namespace

}  // namespace vantel
