#include "renamer/engine/desktop_start.h"

#include "renamer/common/reg.h"
#include "renamer/common/textfile.h"
#include "renamer/common/version.h"
#include "renamer/engine/open_with_entry.h"
#include "renamer/engine/shell_entries.h"
#include "renamer/engine/startup.h"
#include "renamer/engine/test_core.h"
#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace vantel {

namespace {

class RecordingWindow : public DesktopWindow {
  public:
    explicit RecordingWindow(Core* core = nullptr) : m_core(core) {}
    void recordWindowSize() override { note("size"); }
    void addTrayIcon() override { note("tray"); }
    void setFullRowSelect() override { note("rows"); }
    void centreAndMinimise() override { note("centre"); }
    void setHelpFile(const std::string& path) override {
        note("help");
        help = path;
    }
    // Each step with how many queue items and log lines there were when it ran.
    std::vector<std::string> steps;
    std::string help;

  private:
    void note(const std::string& step) {
        steps.push_back(step + (m_core ? ":" + std::to_string(m_core->queueCount()) : ""));
    }
    Core* m_core;
};

class DesktopStart : public ::testing::Test {
  protected:
    // The options of the desktop program: its caption, and context-menu entries that start it.
    static ApplicationOptions desktopOptions(CoreView* view, const std::string& caption) {
        ApplicationOptions options;
        options.view = view;
        options.caption = caption;
        options.context_menu_program = "/opt/vantel/bin/vantel";
        return options;
    }
    void SetUp() override {
        ::setenv(kRegistryDirVariable, tree.path("registry").c_str(), 1);
        ::setenv("APPDATA", tree.path("appdata").c_str(), 1);
        ::setenv("XDG_DATA_HOME", tree.path("data").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", tree.path("runtime").c_str(), 1);
        ::mkdir(tree.path("runtime").c_str(), 0700);
    }
    void TearDown() override {
        for (const char* name : {kRegistryDirVariable, "APPDATA", "XDG_DATA_HOME"})
            ::unsetenv(name);
    }
    static bool keyExists(HKEY root, const std::string& path) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    TestTree tree;
};

TEST(CommandLineSwitches, AreFoundAnywhereAndOnlyInTheirOwnCase) {
    CommandLine plain = readCommandLine({"/videos/My Show/a b.mkv"});
    EXPECT_EQ(plain.text, "/videos/My Show/a b.mkv");
    EXPECT_FALSE(plain.uninstall || plain.startup);
    EXPECT_EQ(readCommandLine({"/startup"}).startup, true);
    EXPECT_EQ(readCommandLine({"x", "y/uninstallz"}).text, "x y/uninstallz");
    EXPECT_TRUE(readCommandLine({"x", "y/uninstallz"}).uninstall);
    EXPECT_FALSE(readCommandLine({"/Uninstall", "/STARTUP"}).uninstall);
    EXPECT_FALSE(readCommandLine({"/Uninstall", "/STARTUP"}).startup);
    EXPECT_EQ(readCommandLine({}).text, "");
}

TEST_F(DesktopStart, RunsItsStepsInOrderAndSetsUpTheContextMenuOnce) {
    const std::string file = tree.file("Show.Name.S01E02.mkv");
    modReg::SaveSettingInt("logging", 2);
    RecordingView view;
    Application app(desktopOptions(&view, mainCaption()));
    Core& core = app.core();
    RecordingWindow window(&core);
    startDesktop(app, window, readCommandLine({file}));

    EXPECT_EQ(window.steps, (std::vector<std::string>{"size:0", "tray:0", "help:0", "rows:0"}));
    ASSERT_FALSE(view.log.empty());
    EXPECT_NE(view.log.front().find(") " + startedLine()), std::string::npos);
    EXPECT_EQ(core.settings().logging, 2);
    EXPECT_EQ(core.settings().workdir, tree.path("appdata/Vantel/"));
    ASSERT_EQ(core.queueCount(), 1);
    EXPECT_EQ(core.item(1).path, file);
    EXPECT_TRUE(core.timer1Enabled());
    EXPECT_TRUE(core.flags().loaded);
    // Context 0: the entries are made, context reads 2 in memory, the registry keeps 0.
    EXPECT_EQ(core.settings().context, 2);
    EXPECT_EQ(modReg::GetSettingInt("context"), 0);
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, "Directory\\shell\\Vantel\\command"));
    EXPECT_TRUE(std::filesystem::exists(openWithEntryPath()));

    // Switched off by the user: nothing is made at the next start.
    removeContextEntries(core.settings().types);
    modReg::SaveSettingInt("context", 1);
    Application second_app(desktopOptions(&view, ""));
    Core& second = second_app.core();
    RecordingWindow second_window;
    startDesktop(second_app, second_window, readCommandLine({"/startup"}));
    EXPECT_EQ(second.settings().context, 1);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "Directory\\shell\\Vantel"));
    EXPECT_FALSE(std::filesystem::exists(openWithEntryPath()));
    EXPECT_EQ(second_window.steps.back(), "centre");
    EXPECT_EQ(second.queueCount(), 0);  // a command line with a switch queues nothing
}

TEST_F(DesktopStart, UninstallLeavesNothingOfOursAndNothingElseGone) {
    {
        Application app(desktopOptions(nullptr, ""));
        RecordingWindow window;
        modReg::SaveSettingString("types", "avi;ogm");
        startDesktop(app, window, readCommandLine({}));
        ASSERT_TRUE(WriteTextFile(app.core().settings().workdir + "filters.dat", "x"));
    }
    ASSERT_TRUE(keyExists(HKEY_CURRENT_USER, modReg::kAppKey));
    ASSERT_TRUE(keyExists(HKEY_CLASSES_ROOT, "ogmfile\\shell\\Vantel\\command"));
    // A "filters.dat" in the current folder is the user's: uninstall must not touch it.
    const std::string here = tree.file("cwd/filters.dat");
    char old_cwd[4096];
    ASSERT_NE(::getcwd(old_cwd, sizeof old_cwd), nullptr);
    ASSERT_EQ(::chdir(tree.path("cwd").c_str()), 0);
    EXPECT_EQ(startOrHandOver(readCommandLine({"/uninstall"})), StartKind::Uninstall);
    ASSERT_EQ(::chdir(old_cwd), 0);

    EXPECT_TRUE(std::filesystem::exists(here));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, modReg::kAppKey));
    EXPECT_FALSE(std::filesystem::exists(tree.path("appdata/Vantel")));
    EXPECT_FALSE(std::filesystem::exists(openWithEntryPath()));
    for (const char* gone :
         {"ogmfile\\shell\\Vantel", "avifile\\shell\\Vantel", "Directory\\shell\\Vantel",
          "SystemFileAssociations\\.avi\\shell\\Vantel",
          "SystemFileAssociations\\.ogm\\shell\\Vantel",
          "SystemFileAssociations\\video\\shell\\Vantel"}) {
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, gone)) << gone;
    }
}

TEST_F(DesktopStart, ASecondStartHandsItsCommandLineToTheFirst) {
    // Far longer than the 255 bytes of the old message buffer: it arrives whole.
    const std::string file =
        tree.file(std::string(200, 'd') + "/" + std::string(200, 'e') + "/Show.Name.S01E03.mkv");
    ASSERT_GT(file.size(), 400u);
    EXPECT_EQ(startOrHandOver(readCommandLine({file})), StartKind::Normal);
    Application app(desktopOptions(nullptr, mainCaption()));
    Core& first = app.core();
    EXPECT_EQ(startOrHandOver(readCommandLine({file})), StartKind::HandedOver);
    ASSERT_EQ(first.queueCount(), 1);
    EXPECT_EQ(first.item(1).path, file);
    EXPECT_EQ(fatalStartupMessage("out of memory"),
              "Vantel encountered an error loading and cannot continue. (out of memory)");
}

}  // namespace

}  // namespace vantel
