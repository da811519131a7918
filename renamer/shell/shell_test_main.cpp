// The window tests' entry: Qt's offscreen platform, and a home, registry and runtime folder of
// the test's own, so nothing of the user's is read or changed and no running program is found.

#include <gtest/gtest.h>

#include <QApplication>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char pattern[] = "/tmp/vantel-shell-test-XXXXXX";
    const char* root = ::mkdtemp(pattern);
    if (!root) return 1;
    const std::string home = std::string(root) + "/home";
    const std::string runtime = std::string(root) + "/runtime";
    std::filesystem::create_directories(home);
    ::mkdir(runtime.c_str(), 0700);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("VANTEL_REGISTRY_DIR", (std::string(root) + "/registry").c_str(), 1);
    ::unsetenv("APPDATA");
    ::unsetenv("VANTEL_OPEN_PROGRAM");

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return result;
}
