#include "tests/cli_run.h"

#include <dirent.h>

#include <algorithm>
#include <sstream>

#include "renamer/engine/paths.h"
#include "renamer/lookup/lookup_config.h"

using namespace vantel;

namespace {

std::vector<std::string> split(const std::string& line, char separator) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, separator))
        fields.push_back(field);
    return fields;
}

StandinServer* g_server = nullptr;

}  // namespace

CliLine CliReport::item(const std::string& name) const {
    for (const CliLine& line : lines) {
        if (line.path.size() > name.size() && line.path.compare(line.path.size() - name.size() - 1,
                                                                std::string::npos, "/" + name) == 0)
            return line;
    }
    ADD_FAILURE() << name << " is not in the report:\n" << run.out;
    return {};
}

StandinServer& CliRun::server() {
    return *g_server;
}

void CliRun::startServer(const StandinOptions& options) {
    g_server = new StandinServer;
    ASSERT_TRUE(g_server->start(options)) << g_server->error();
}

void CliRun::TearDownTestSuite() {
    delete g_server;
    g_server = nullptr;
}

void CliRun::SetUp() {
    ASSERT_TRUE(m_dir.ok());
    ASSERT_TRUE(server().running());
    ASSERT_TRUE(server().reset()) << server().error();
    m_env = isolatedUserEnv(m_dir.path());
    ASSERT_FALSE(m_env.empty());
    m_env[kApiBaseVariable] = server().httpUrl();
    m_env[kHttpTimeoutVariable] = "1";
    m_env[kHttpTraceVariable] = "1";
    // The log shows every step (and, with the variable above, the HTTP client's trace).
    set("logging", "2");
}

void CliRun::touch(const std::string& relative) {
    const std::string folder = getpath(relative, 0);
    if (!folder.empty()) {
        ASSERT_FALSE(m_dir.makeDir(folder).empty()) << relative;
    }
    ASSERT_TRUE(writeFile(dir(relative), getfname(relative))) << relative;
}

std::vector<std::string> CliRun::cacheFiles() const {
    std::vector<std::string> names;
    if (DIR* folder = opendir(cacheDir().c_str())) {
        while (dirent* entry = readdir(folder)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(folder);
    }
    std::sort(names.begin(), names.end());
    return names;
}

CliReport CliRun::runCli(const std::vector<std::string>& args, int timeoutMs) {
    std::vector<std::string> argv = {VANTEL_CLI_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    RunOptions options;
    options.env = m_env;
    options.timeoutMs = timeoutMs;
    CliReport report{runProgram(argv, options), {}};
    EXPECT_TRUE(report.run.started) << report.run.error;
    EXPECT_FALSE(report.run.timedOut) << report.run.err;
    EXPECT_EQ(report.run.signal, 0) << report.run.err;
    for (const std::string& text : split(report.run.out, '\n')) {
        std::vector<std::string> fields = split(text, '\t');
        if (fields.size() < 3) continue;
        CliLine line;
        line.number = std::stoi(fields[0]);
        line.status = fields[1];
        line.path = fields[2];
        if (fields.size() > 3) line.detail = fields[3];
        if (fields.size() > 4) line.action = fields[4];
        report.lines.push_back(std::move(line));
    }
    return report;
}

void CliRun::set(const std::string& name, const std::string& value) {
    RunOptions options;
    options.env = m_env;
    ProgramResult r = runProgram({VANTEL_CLI_PROGRAM, "--set", name + "=" + value}, options);
    ASSERT_EQ(r.exitCode, 0) << r.err;
}
