#pragma once
// Test fixture for the file operations: a private folder per test with the data home (and so
// the Trash) inside it, small mounts for the fault cases, and a verbose log with a fixed clock.

#include "platform/shell/shell_test_support.h"
#include "renamer/common/activity_log.h"
#include "renamer/common/queue_item.h"
#include "renamer/engine/paths.h"

#include <string>
#include <vector>

namespace vantel {

class FileOpsTest : public shelltest::ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        clearLog();
    }

    // An item whose file at source goes to folder (ending in "/") + name.
    static QueueItem item(const std::string& source, const std::string& folder,
                          const std::string& name) {
        QueueItem it;
        it.state = kStateFileOperation;
        it.path = source;
        it.file_name = getfname(source);
        it.target_folder = folder;
        it.new_name = name;
        it.filter_index = 1;
        return it;
    }

    // The log's lines from the first-th on, without their time prefix.
    std::vector<std::string> linesSince(size_t first) const {
        std::vector<std::string> out;
        for (size_t i = first; i < log.lines().size(); ++i)
            out.push_back(log.lines()[i].substr(4));  // "(t) "
        return out;
    }

    void clearLog() {
        log = ActivityLog();
        log.setThreshold(2);
        log.setClock([] { return std::string("t"); });
    }

    ActivityLog log;
};

}  // namespace vantel
