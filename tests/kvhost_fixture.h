#pragma once
// For the whole-program tests of the control: a registry and home of the test's own, shared
// with the programs it starts, and the regsvr and kvhost programs to run in it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/testsupport/run_program.h"
#include "tools/testsupport/scoped_env.h"
#include "tools/testsupport/temp_dir.h"

class KvhostProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.ok());
        EnvChanges env = isolatedUserEnv(m_dir.path());
        ASSERT_FALSE(env.empty());
        // This process reads the same registry as the programs it starts.
        for (const auto& [name, value] : env) {
            if (value)
                m_env.set(name, *value);
            else
                m_env.unset(name);
        }
    }

    ProgramResult regsvr(std::vector<std::string> args) {
        args.insert(args.begin(), REGSVR_PROGRAM);
        return runProgram(args);
    }
    ProgramResult kvhost(const std::string& script, std::vector<std::string> args = {}) {
        args.insert(args.begin(), KVHOST_PROGRAM);
        return runProgram(args, {}, script);
    }

    TempDir m_dir;
    ScopedEnv m_env;
};
