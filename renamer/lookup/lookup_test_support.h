#pragma once
// Test support for the search and listing tests: one TVmaze stand-in for the whole test
// program, a work directory of the test's own, and a lookup context wired to the control's test
// double.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "renamer/common/activity_log.h"
#include "renamer/common/queue_item.h"
#include "renamer/http/fake_wirran.h"
#include "renamer/http/modhttp.h"
#include "renamer/lookup/lookup_context.h"
#include "tools/testsupport/standin_server.h"
#include "tools/testsupport/temp_dir.h"

namespace vantel {

class LookupServiceTest : public ::testing::Test {
  protected:
    // One server for every test of the program: starting one costs more than a second.
    static StandinServer& server() {
        static StandinServer s_server;
        static bool s_started = s_server.start();
        EXPECT_TRUE(s_started) << s_server.error();
        return s_server;
    }

    void SetUp() override {
        ASSERT_TRUE(server().running());
        ASSERT_TRUE(server().reset()) << server().error();
        ASSERT_TRUE(m_dir.ok());
        modHTTP::ResetLastHost();
        m_log.setThreshold(2);
        m_settings.workdir = m_dir.path() + "/";
    }

    LookupContext context() {
        return LookupContext{m_settings, m_log, m_host, m_episodes, server().httpUrl("")};
    }

    static QueueItem item(const std::string& show, int32_t season = 0, int32_t episode = 0) {
        QueueItem it;
        it.detected_show = show;
        it.season = season;
        it.episode = episode;
        return it;
    }

    void mode(const std::string& query) {
        ASSERT_TRUE(server().setMode(query)) << server().error();
    }
    int requests(const std::string& prefix) { return server().requestCount(prefix); }

    // Whether a log line holds exactly this text (after its time prefix).
    bool logged(const std::string& text) const {
        return std::any_of(m_log.lines().begin(), m_log.lines().end(), [&](const std::string& l) {
            size_t at = l.find(") ");
            return at != std::string::npos && l.compare(at + 2, std::string::npos, text) == 0;
        });
    }
    int loggedCount(const std::string& text) const {
        return static_cast<int>(
            std::count_if(m_log.lines().begin(), m_log.lines().end(), [&](const std::string& l) {
                size_t at = l.find(") ");
                return at != std::string::npos && l.compare(at + 2, std::string::npos, text) == 0;
            }));
    }

    std::string cachePath(const std::string& name) const { return m_dir.path() + "/cache/" + name; }

    TempDir m_dir;
    Settings m_settings;
    ActivityLog m_log;
    FakeHost m_host;
    EpisodeList m_episodes;
};

}  // namespace vantel
