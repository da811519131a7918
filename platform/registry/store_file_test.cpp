#include "platform/registry/store_file.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/test_folder.h"

namespace {

using registry::Key;

class StoreFile : public RegistryFolderTest {};

// Runs body in a child process; the child's exit status is 0 when body returned true.
pid_t spawn(const std::function<bool()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body() ? 0 : 1);
    return pid;
}

bool exitedCleanly(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

LSTATUS setText(HKEY key, const std::string& name, const std::string& text) {
    return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                          static_cast<DWORD>(text.size()));
}

TEST_F(StoreFile, ConcurrentWritersLoseNoValue) {
    constexpr int kWriters = 4, kWrites = 40;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        children.push_back(spawn([w] {
            for (int i = 0; i < kWrites; ++i) {
                const std::string name = "w" + std::to_string(w) + "-" + std::to_string(i);
                if (setText(HKEY_CURRENT_USER, name, name + " data") != ERROR_SUCCESS) return false;
            }
            return true;
        }));
    }
    for (pid_t child : children)
        EXPECT_TRUE(exitedCleanly(child));

    Key root;
    ASSERT_EQ(registry::readStore(RegistryStorePath(), root), ERROR_SUCCESS);
    EXPECT_EQ(root.values.size(), size_t{kWriters * kWrites});
    for (int w = 0; w < kWriters; ++w) {
        for (int i = 0; i < kWrites; ++i) {
            const std::string name = "w" + std::to_string(w) + "-" + std::to_string(i);
            const registry::Value* value = registry::findValue(root, name);
            ASSERT_NE(value, nullptr) << name;
            EXPECT_EQ(value->data, name + " data");
        }
    }
}

// The text a writer stores in round r, write i: its own numbers, then a long tail derived from
// them, so that a file holding a mix of two writes cannot pass for either.
std::string generation(int round, int write) {
    std::string text = std::to_string(round) + ":" + std::to_string(write) + ":";
    std::minstd_rand tail(static_cast<unsigned>(round * 1000003 + write));
    while (text.size() < 4000)
        text += static_cast<char>('a' + tail() % 26);
    return text;
}

TEST_F(StoreFile, KilledWriterLeavesTheOldOrTheNewStore) {
    constexpr int kKills = 200, kKept = 30;
    std::vector<std::string> kept;
    for (int k = 0; k < kKept; ++k) {
        kept.push_back(generation(-1, k));
        ASSERT_EQ(setText(HKEY_CURRENT_USER, "kept" + std::to_string(k), kept.back()), 0);
    }
    // Kills should fall inside writes: aim within the first few writes the child makes.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(setText(HKEY_CURRENT_USER, "counter", "start"), 0);
    ASSERT_EQ(RegDeleteValueA(HKEY_CURRENT_USER, "counter"), 0);
    const auto window = std::max<int64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                              std::chrono::steady_clock::now() - start)
                                              .count(),
                                          100);

    std::mt19937 random(std::random_device{}());
    int lastRound = -1, lastWrite = -1, midWrite = 0;
    for (int round = 0; round < kKills; ++round) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = spawn([&] {
            close(ready[0]);
            if (write(ready[1], "r", 1) != 1) return false;
            for (int write = 0;; ++write) {
                setText(HKEY_CURRENT_USER, "counter", generation(round, write));
            }
        });
        close(ready[1]);
        char byte;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % window));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        for (const auto& entry : std::filesystem::directory_iterator(m_folder))
            midWrite += entry.path().filename().string().starts_with("registry.txt.tmp.");

        Key root;
        ASSERT_EQ(registry::readStore(RegistryStorePath(), root), ERROR_SUCCESS)
            << "kill " << round;
        const registry::Value* counter = registry::findValue(root, "counter");
        ASSERT_EQ(root.values.size(), size_t{kKept} + (counter ? 1 : 0));
        for (int k = 0; k < kKept; ++k) {
            ASSERT_EQ(root.values[k].data, kept[k]) << "kill " << round;
        }
        if (!counter) {
            ASSERT_EQ(lastRound, -1) << "kill " << round;  // no write has finished yet
            continue;
        }
        int seenRound = -1, seenWrite = -1;
        ASSERT_EQ(sscanf(counter->data.c_str(), "%d:%d:", &seenRound, &seenWrite), 2);
        ASSERT_EQ(counter->data, generation(seenRound, seenWrite)) << "kill " << round;
        // Either the value the last round left, or one that this round wrote.
        ASSERT_TRUE((seenRound == lastRound && seenWrite == lastWrite) || seenRound == round)
            << "kill " << round << " saw " << seenRound << ":" << seenWrite;
        lastRound = seenRound;
        lastWrite = seenWrite;
    }
    // The lock died with its holder: a later writer is not kept waiting.
    EXPECT_EQ(setText(HKEY_CURRENT_USER, "after", "ok"), ERROR_SUCCESS);
    RecordProperty("kills_during_a_write", midWrite);
    std::printf("%d of %d kills left a temporary file behind\n", midWrite, kKills);
}

}  // namespace
