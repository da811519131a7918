#include "tools/testsupport/scoped_env.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

extern char** environ;

ScopedEnv::ScopedEnv(const EnvChanges& changes) {
    for (const auto& [name, value] : changes) {
        if (value) {
            set(name, *value);
        } else {
            unset(name);
        }
    }
}

ScopedEnv::~ScopedEnv() {
    // Reverse order, so a variable touched twice ends with the value it had first.
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->second) {
            setenv(it->first.c_str(), it->second->c_str(), 1);
        } else {
            unsetenv(it->first.c_str());
        }
    }
}

void ScopedEnv::remember(const std::string& name) {
    const char* old = std::getenv(name.c_str());
    m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
}

bool ScopedEnv::set(const std::string& name, const std::string& value) {
    remember(name);
    return setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool ScopedEnv::unset(const std::string& name) {
    remember(name);
    return unsetenv(name.c_str()) == 0;
}

EnvChanges isolatedUserEnv(const std::string& root) {
    const std::string home = root + "/home";
    EnvChanges changes = {
        {"HOME", home},
        {"XDG_CONFIG_HOME", home + "/.config"},
        {"XDG_DATA_HOME", home + "/.local/share"},
        {"XDG_CACHE_HOME", home + "/.cache"},
        {"XDG_STATE_HOME", home + "/.local/state"},
        {"XDG_RUNTIME_DIR", root + "/runtime"},
        {"VANTEL_REGISTRY_DIR", root + "/registry"},
        {"APPDATA", std::nullopt},
    };
    for (const auto& [name, value] : changes) {
        if (!value) continue;
        std::error_code ec;
        std::filesystem::create_directories(*value, ec);
        if (ec) return {};
    }
    // The runtime folder must be private to its user, as the desktop's own is.
    if (chmod((root + "/runtime").c_str(), 0700) != 0) return {};
    return changes;
}

std::vector<std::string> environmentWith(const EnvChanges& changes) {
    std::vector<std::string> entries;
    for (char** entry = environ; entry && *entry; ++entry) {
        std::string text(*entry);
        std::string name = text.substr(0, text.find('='));
        if (changes.count(name) == 0) entries.push_back(std::move(text));
    }
    for (const auto& [name, value] : changes) {
        if (value) entries.push_back(name + "=" + *value);
    }
    return entries;
}
