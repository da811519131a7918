#include "renamer/lookup/lookup_config.h"

#include <gtest/gtest.h>

#include "renamer/common/activity_log.h"
#include "renamer/common/reg.h"
#include "renamer/http/modhttp.h"
#include "tools/testsupport/scoped_env.h"
#include "tools/testsupport/temp_dir.h"

namespace vantel {

namespace {

TEST(ApiBase, CommandLineThenEnvironmentThenRegistryThenDefault) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    ScopedEnv env(isolatedUserEnv(dir.path()));
    env.unset(kApiBaseVariable);

    EXPECT_EQ(ApiBase(), "https://api.tvmaze.com");
    ASSERT_TRUE(modReg::SaveSettingString(kApiBaseSetting, "http://registry.example:8080//"));
    EXPECT_EQ(ApiBase(), "http://registry.example:8080");
    env.set(kApiBaseVariable, "http://127.0.0.1:9/");
    EXPECT_EQ(ApiBase(), "http://127.0.0.1:9");
    EXPECT_EQ(ApiBase("http://cli.example"), "http://cli.example");
    env.set(kApiBaseVariable, "");
    EXPECT_EQ(ApiBase(), "http://registry.example:8080");  // an empty variable counts as unset
}

TEST(ConfigureHttpTimeout, OnlyWholeSecondsFromOneToSixty) {
    ScopedEnv env;
    const modHTTP::Limits saved = modHTTP::GetLimits();
    env.unset(kHttpTimeoutVariable);
    EXPECT_EQ(ConfigureHttpTimeout(), 4);
    struct {
        const char* value;
        int32_t expected;
    } cases[] = {{"1", 1},   {"60", 60}, {"0", 60}, {"61", 60},
                 {"2s", 60}, {"-3", 60}, {"", 60},  {"7", 7}};
    for (const auto& c : cases) {
        env.set(kHttpTimeoutVariable, c.value);
        EXPECT_EQ(ConfigureHttpTimeout(), c.expected) << c.value;
        EXPECT_EQ(modHTTP::GetLimits().timeout_seconds, c.expected) << c.value;
    }
    modHTTP::SetLimits(saved);
}

TEST(RouteHttpTrace, OnlyWhenAskedAndAsDetail) {
    ScopedEnv env;
    ActivityLog log;
    log.setThreshold(2);
    for (const char* value : {"", "0"}) {
        env.set(kHttpTraceVariable, value);
        EXPECT_FALSE(RouteHttpTrace(log)) << value;
        modHTTP::HttpTrace("HTTP: Sending Request...", 1);
    }
    env.unset(kHttpTraceVariable);
    EXPECT_FALSE(RouteHttpTrace(log));
    modHTTP::HttpTrace("HTTP: Sending Request...", 1);
    EXPECT_TRUE(log.lines().empty());

    env.set(kHttpTraceVariable, "1");
    EXPECT_TRUE(RouteHttpTrace(log));
    modHTTP::HttpTrace("HTTP: Sending Request...", 1);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find(") HTTP: Sending Request..."), std::string::npos);
    log.setThreshold(1);  // normal logging does not show it
    modHTTP::HttpTrace("HTTP: Receiving data...", 1);
    EXPECT_EQ(log.lines().size(), 1u);
    modHTTP::SetTraceHook(nullptr);
}

TEST(RouteHttpTrace, WhyARequestFailedIsLoggedWithoutTheTrace) {
    ScopedEnv env;
    env.unset(kHttpTraceVariable);
    ActivityLog log;
    log.setThreshold(1);
    EXPECT_FALSE(RouteHttpTrace(log));
    modHTTP::HttpTrace("HTTP: Connecting to api.tvmaze.com...", 1);
    modHTTP::HttpTrace("HTTP: Unable to connect to api.tvmaze.com (error 11001)", 1);
    modHTTP::HttpTrace("HTTP: The certificate of api.tvmaze.com is not valid (status 2)", 1);
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_NE(log.lines()[0].find(") HTTP: Unable to connect to api.tvmaze.com (error 11001)"),
              std::string::npos);
    EXPECT_NE(log.lines()[1].find(") HTTP: The certificate of"), std::string::npos);
    modHTTP::SetTraceHook(nullptr);
}

}  // namespace

}  // namespace vantel
