#include "renamer/lookup/lookup_config.h"

#include <gtest/gtest.h>

#include "renamer/common/activity_log.h"
#include "renamer/common/reg.h"
#include "renamer/http/modhttp.h"
#include "tools/testsupport/scoped_env.h"
#include "tools/testsupport/temp_dir.h"

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

}  // namespace
