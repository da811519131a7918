#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/user/internal.h"
#include "platform/user/test_support.h"
#include "platform/user/user.h"

extern char** environ;

using namespace vantel::user::test;

namespace {

// Starts the peer program with a window of that caption and waits until it says it is ready.
pid_t startPeer(const std::string& caption) {
    int out[2];
    if (::pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string program = VANTEL_USER_PEER;
    char* argv[] = {program.data(), const_cast<char*>(caption.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char line[6] = {};
    pollfd pfd{out[0], POLLIN, 0};
    if (pid > 0 && (::poll(&pfd, 1, 10000) != 1 || ::read(out[0], line, 6) != 6)) pid = -1;
    ::close(out[0]);
    return pid;
}

}  // namespace

TEST(RemoteWindow, FoundByCaptionAndReachedWithCopyData) {
    if (vantel::user::userRuntimeDir().empty()) GTEST_SKIP() << "no private runtime folder";
    std::string tag = std::to_string(::getpid());
    Recorder r;
    r.answers[WM_COPYDATA] = 41;
    // Our own captioned window makes this process reachable for the peer's call back.
    HWND mine = makeWindow(&r, ("Sender " + tag).c_str());
    std::string caption = "Peer " + tag;
    pid_t peer = startPeer(caption);
    ASSERT_GT(peer, 0);

    HWND h = FindWindowA(nullptr, ("peer " + tag).c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(FindWindowA("VantelPeerWindow", caption.c_str()), h);
    EXPECT_TRUE(IsWindow(h));
    char buffer[64];
    EXPECT_EQ(GetWindowTextA(h, buffer, sizeof buffer), static_cast<int>(caption.size()));
    EXPECT_EQ(std::string(buffer), caption);
    DWORD pid = 0;
    EXPECT_NE(GetWindowThreadProcessId(h, &pid), 0u);
    EXPECT_EQ(pid, static_cast<DWORD>(peer));

    char abc[] = "abc";
    COPYDATASTRUCT cds{3, 3, abc};
    auto wParam = reinterpret_cast<WPARAM>(mine);
    EXPECT_EQ(SendMessageA(h, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(&cds)),
              3 * 100000 + (97 + 98 + 99) * 10 + 1);
    // The peer sends to us while we wait for its answer.
    r.take();
    char echo[] = "echo";
    COPYDATASTRUCT ping{0, 4, echo};
    EXPECT_EQ(SendMessageA(h, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(&ping)), 42);
    EXPECT_EQ(r.messages(), std::vector<UINT>{WM_COPYDATA});

    // Only WM_COPYDATA crosses, and only the owner changes a window.
    EXPECT_EQ(SendMessageA(h, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessageA(h, WM_USER, 0, 0));
    EXPECT_FALSE(SetWindowTextA(h, "taken"));
    EXPECT_FALSE(DestroyWindow(h));

    char quitText[] = "quit";
    COPYDATASTRUCT quit{0, 4, quitText};
    EXPECT_EQ(SendMessageA(h, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&quit)), 7);
    int status = 0;
    ASSERT_EQ(::waitpid(peer, &status, 0), peer);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(FindWindowA(nullptr, caption.c_str()), nullptr);
    EXPECT_EQ(GetWindowTextA(h, buffer, sizeof buffer), 0);
    DestroyWindow(mine);
}
