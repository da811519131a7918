#include "renamer/engine/handover.h"

#include "renamer/common/version.h"
#include "renamer/engine/core.h"
#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

namespace {

// The record points into text, which must outlive it.
COPYDATASTRUCT record(ULONG_PTR tag, const std::string& text) {
    COPYDATASTRUCT data{};
    data.dwData = tag;
    data.cbData = static_cast<DWORD>(text.size() + 1);
    data.lpData = const_cast<char*>(text.c_str());
    return data;
}

TEST(HandOver, ReadsOnlyTaggedMessagesOfAKnownKind) {
    struct Case {
        ULONG_PTR tag;
        std::string text;
        HandOverKind kind;
        std::string command_line;
    };
    const Case cases[] = {
        {3, "KQ|PI|C=/videos/a b.mkv", HandOverKind::Queue, "/videos/a b.mkv"},
        {3, "KQ|PI|C=", HandOverKind::Queue, ""},
        {3, "KQ|PI|X=/x.mkv", HandOverKind::Queue, "/x.mkv"},  // only the first 6 are read
        {3, "KQ|UD|", HandOverKind::Quit, ""},
        {3, "KQ|UD|anything", HandOverKind::Quit, ""},
        {2, "KQ|PI|C=/videos/a.mkv", HandOverKind::Ignore, ""},  // another tag
        {4, "KQ|UD|", HandOverKind::Ignore, ""},
        {3, "XQ|PI|C=/videos/a.mkv", HandOverKind::Ignore, ""},  // another tag in the text
        {3, "kq|PI|C=/videos/a.mkv", HandOverKind::Ignore, ""},
        {3, "KQ|XX|C=/videos/a.mkv", HandOverKind::Ignore, ""},  // another kind
        {3, "KQ|PI", HandOverKind::Ignore, ""},
        {3, "KQ|", HandOverKind::Ignore, ""},
        {3, "", HandOverKind::Ignore, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + " tag " + std::to_string(c.tag));
        COPYDATASTRUCT data = record(c.tag, c.text);
        HandOver message = readHandOver(&data);
        EXPECT_EQ(message.kind, c.kind);
        EXPECT_EQ(message.command_line, c.command_line);
    }
    EXPECT_EQ(readHandOver(nullptr).kind, HandOverKind::Ignore);
    COPYDATASTRUCT empty{3, 0, nullptr};
    EXPECT_EQ(readHandOver(&empty).kind, HandOverKind::Ignore);
}

TEST(HandOver, TextEndsAtTheCountOrAtAnEarlierZero) {
    // cbData counts the zero; the receiver keeps cbData - 1 bytes and no more.
    const char bytes[] = "KQ|PI|C=/a.mkvGARBAGE";
    COPYDATASTRUCT data{3, 15, const_cast<char*>(bytes)};
    EXPECT_EQ(readHandOver(&data).command_line, "/a.mkv");
    const char inner[] = "KQ|PI|C=/a.mkv\0/b.mkv";
    COPYDATASTRUCT cut{3, sizeof inner, const_cast<char*>(inner)};
    EXPECT_EQ(readHandOver(&cut).command_line, "/a.mkv");
}

class HandOverWindow : public ::testing::Test {
  protected:
    // Windows are published in the runtime folder: one of the test's own, so that a desktop
    // program running meanwhile is never found (nor handed anything).
    void SetUp() override {
        ::setenv("XDG_RUNTIME_DIR", tree.path("runtime").c_str(), 1);
        ::mkdir(tree.path("runtime").c_str(), 0700);
    }
    void pumpAll() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
    }
    TestTree tree;
};

TEST_F(HandOverWindow, TheCoreQueuesTaggedCommandLinesAndIgnoresTheRest) {
    Core core(nullptr, nullptr, mainCaption());
    const std::string file = tree.file("Show.Name.S01E02.mkv");
    const std::string text = queueMessageText(file);
    for (ULONG_PTR tag : {ULONG_PTR{0}, ULONG_PTR{2}, ULONG_PTR{4}}) {
        COPYDATASTRUCT data = record(tag, text);
        SendMessageA(core.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
    const std::string other_kind = "KQ|XY|C=" + file;
    COPYDATASTRUCT other = record(3, other_kind);
    SendMessageA(core.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&other));
    EXPECT_EQ(core.queueCount(), 0);
    EXPECT_FALSE(core.timer1Enabled());

    const std::string quoted = queueMessageText("\"" + file + "\"");
    COPYDATASTRUCT data = record(3, quoted);
    SendMessageA(core.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    ASSERT_EQ(core.queueCount(), 1);
    EXPECT_EQ(core.item(1).path, file);
    EXPECT_TRUE(core.timer1Enabled());
}

TEST_F(HandOverWindow, ALongCommandLineArrivesWholeAtTheWindowFoundByItsCaption) {
    EXPECT_EQ(findRunningInstance(), nullptr);
    EXPECT_FALSE(SendToRunningInstance(queueMessageText("/nothing.mkv")));
    Core core(nullptr, nullptr, mainCaption());
    EXPECT_EQ(findRunningInstance(), core.hwnd());
    // Far beyond the 255 bytes of the old buffer.
    const std::string file =
        tree.file(std::string(200, 'd') + "/" + std::string(200, 'e') + "/Show.Name.S01E02.mkv");
    ASSERT_GT(file.size(), 400u);
    EXPECT_TRUE(SendToRunningInstance(queueMessageText(file)));
    ASSERT_EQ(core.queueCount(), 1);
    EXPECT_EQ(core.item(1).path, file);
}

TEST_F(HandOverWindow, AQuitRequestClosesTheWindowUnlessAPassRuns) {
    Core core(nullptr, nullptr, mainCaption());
    core.flags().busy = true;
    ASSERT_TRUE(SendToRunningInstance(kHandOverQuitText));
    pumpAll();
    EXPECT_FALSE(core.unloaded());
    EXPECT_TRUE(core.flags().quit_requested);
    core.flags().busy = false;
    ASSERT_TRUE(SendToRunningInstance(kHandOverQuitText));
    pumpAll();
    EXPECT_TRUE(core.unloaded());
}

}  // namespace
