// The whole queue pipeline on real files: a folder of episode files is queued, detected, looked
// up in an episode table that the test supplies in place of the online lookup, named by the
// default filter mask (or moved by a move filter) and renamed; then every item is undone.

#include "renamer/engine/core.h"
#include "renamer/engine/paths.h"
#include "tools/testsupport/scoped_env.h"
#include "tools/testsupport/temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <tuple>

using namespace vantel;

namespace {

struct Episode {
    std::string show_title;
    int32_t season, episode;
    std::string title;
};

// The stages of this build for detection and the file operation; the lookup answers from the
// table, and the filter list holds one filter: the default one (rename by "[show] - [s]x[ee] -
// [title]"), or a move filter into folder_mask when one is given.
class EpisodeTableStages : public PipelineStages {
  public:
    std::vector<Episode> table;
    FileAction action = kActionRename;
    std::string folder_mask;  // "[show]", "[s]" replaced; only to move or copy

    StageResult checkex(Core&, int32_t) override { return true; }  // no exceptions defined
    StageResult searchtv(Core& core, int32_t index) override {
        QueueItem& it = core.item(index);
        for (const Episode& e : table) {
            if (lower(e.show_title) == it.detected_show) {
                it.show_title = e.show_title;
                it.show_id = 1;
                return true;
            }
        }
        return false;
    }
    StageResult getlistings(Core& core, int32_t index) override {
        QueueItem& it = core.item(index);
        for (const Episode& e : table) {
            if (e.show_title == it.show_title && e.season == it.season && e.episode == it.episode) {
                it.episode_title = e.title;
                return true;
            }
        }
        return false;
    }
    StageResult dofilter(Core& core, int32_t index) override {
        QueueItem& it = core.item(index);
        std::string ee = (it.episode < 10 ? "0" : "") + std::to_string(it.episode);
        it.new_name = it.show_title + " - " + std::to_string(it.season) + "x" + ee + " - " +
                      it.episode_title + "." + getextension(it.file_name);
        it.target_folder = getpath(it.path, 0);
        if (action != kActionRename) {
            it.target_folder = replaced(replaced(folder_mask, "[show]", it.show_title), "[s]",
                                        std::to_string(it.season));
        }
        it.filter_index = 1;
        return true;
    }
    FileAction filterAction(const Core&, int32_t filter_index) const override {
        return filter_index == 1 ? action : kActionNone;
    }

  private:
    static std::string lower(std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }
    static std::string replaced(std::string text, const std::string& token,
                                const std::string& value) {
        for (size_t at = text.find(token); at != std::string::npos;
             at = text.find(token, at + value.size()))
            text.replace(at, token.size(), value);
        return text;
    }
};

std::string bytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(generator());
    return out;
}

class Pipeline : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.ok());
        stages.table = {{"Meridian Station", 1, 1, "Arrival"},
                        {"Meridian Station", 1, 2, "Drift"},
                        {"Meridian Station", 2, 1, "Signal"},
                        {"Lantern Hollow", 3, 10, "The Well"}};
        // Each file: its name below the download folder, its content, and the name it gets.
        files = {
            {"Meridian.Station.S01E01.720p.mkv", "Meridian Station - 1x01 - Arrival.mkv"},
            {"meridian station 1x02 drift.avi", "Meridian Station - 1x02 - Drift.avi"},
            {"sub/meridian.station.s02e01.avi", "Meridian Station - 2x01 - Signal.avi"},
            {"Lantern.Hollow.S03E10.mp4", "Lantern Hollow - 3x10 - The Well.mp4"},
        };
        unsigned seed = 1;
        for (auto& [name, renamed] : files) {
            content[name] = bytes(50000 + seed, seed);
            ASSERT_FALSE(dir.makeDir(getpath("downloads/" + name, 0)).empty());
            ASSERT_TRUE(writeFile(dir.file("downloads/" + name), content[name]));
            ++seed;
        }
        ASSERT_TRUE(writeFile(dir.file("downloads/unknown.show.s01e01.avi"), "unknown"));
        ASSERT_TRUE(writeFile(dir.file("downloads/notes.txt"), "notes"));
    }

    // Queues the download folder as a drop onto the window does, and runs the message loop
    // until the pass has worked through the queue.
    void runQueue() {
        core.add_to_queue(dir.file("downloads"), true);
        ASSERT_TRUE(core.timer1Enabled());
        MSG msg;
        while (core.flags().busy || core.timer1Enabled()) {
            ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
            DispatchMessageA(&msg);
        }
        ASSERT_EQ(core.queueCount(), 5);
    }

    // The queue index of the item queued from the download folder's name.
    int32_t indexOf(const std::string& name) const {
        for (int32_t i = 1; i <= core.queueCount(); ++i) {
            if (core.item(i).path == dir.file("downloads/" + name)) return i;
        }
        ADD_FAILURE() << name << " was not queued";
        return 0;
    }

    void expectOriginalNames() {
        for (const auto& [name, renamed] : files)
            EXPECT_EQ(readFile(dir.file("downloads/" + name)), content[name]) << name;
    }

    TempDir dir{"vantel-pipeline"};
    ScopedEnv env{isolatedUserEnv(dir.path())};
    EpisodeTableStages stages;
    Core core{nullptr, &stages};
    std::vector<std::pair<std::string, std::string>> files;
    std::map<std::string, std::string> content;
};

TEST_F(Pipeline, AFolderIsRenamedByTheDefaultFilterAndUndoRestoresEveryName) {
    runQueue();
    for (const auto& [name, renamed] : files) {
        const int32_t i = indexOf(name);
        ASSERT_EQ(core.item(i).state, kStateDone) << name << ": " << core.item(i).error_text;
        // Renamed in its own folder, every byte kept, the old name gone.
        EXPECT_EQ(readFile(dir.file("downloads/" + getpath(name, 0) + renamed)), content[name]);
        EXPECT_FALSE(readFile(dir.file("downloads/" + name)));
        EXPECT_EQ(core.undoMenuEntry(i).caption, "Undo Rename");
    }
    const int32_t unknown = indexOf("unknown.show.s01e01.avi");
    EXPECT_EQ(core.item(unknown).state, kStateFailed);
    EXPECT_EQ(readFile(dir.file("downloads/unknown.show.s01e01.avi")), "unknown");

    for (const auto& [name, renamed] : files)
        EXPECT_TRUE(core.mnuUndo_Click(indexOf(name))) << core.item(indexOf(name)).error_text;
    expectOriginalNames();
    for (const auto& [name, renamed] : files) {
        EXPECT_EQ(core.item(indexOf(name)).state, kStateCancelled);
        EXPECT_FALSE(readFile(dir.file("downloads/" + getpath(name, 0) + renamed)));
    }
}

TEST_F(Pipeline, AMoveFilterFilesEpisodesIntoShowFoldersAndUndoBringsThemBack) {
    stages.action = kActionMove;
    const std::string library = dir.makeDir("library");
    stages.folder_mask = library + "/[show]/Season [s]/";
    runQueue();
    for (const auto& [name, renamed] : files) {
        const QueueItem& it = core.item(indexOf(name));
        ASSERT_EQ(it.state, kStateDone) << name << ": " << it.error_text;
        EXPECT_EQ(it.target_folder,
                  library + "/" + it.show_title + "/Season " + std::to_string(it.season) + "/");
        EXPECT_EQ(readFile(it.target_folder + renamed), content[name]);
        EXPECT_EQ(core.undoMenuEntry(indexOf(name)).caption, "Undo Move/Rename");
    }
    // Undone in another order than they were done: each item stands alone.
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        EXPECT_TRUE(core.mnuUndo_Click(indexOf(it->first)));
    expectOriginalNames();
}

}  // namespace
