#pragma once
// Environment variables for isolated test runs.
//
// ScopedEnv changes this process's environment and puts every variable it touched back as it
// was when it goes out of scope. isolatedUserEnv() gives the variables that send a program's
// per-user files (settings, registry store, data, cache, trash) into a folder of the test's own;
// pass them to runProgram() for a child, or to ScopedEnv for code running in the test itself.
//
//   TempDir dir;
//   ScopedEnv env(isolatedUserEnv(dir.path()));

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Variables to set (a value) or to remove (nullopt).
using EnvChanges = std::map<std::string, std::optional<std::string>>;

class ScopedEnv {
  public:
    ScopedEnv() = default;
    explicit ScopedEnv(const EnvChanges& changes);
    // Restores every variable touched to the value it had before the first change.
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    // Sets the variable; false when setenv refuses the name.
    bool set(const std::string& name, const std::string& value);
    // Removes the variable; false when unsetenv refuses the name.
    bool unset(const std::string& name);

  private:
    void remember(const std::string& name);

    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

// Returns the variables that give a program its own user folders below root: HOME,
// XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME, XDG_STATE_HOME, XDG_RUNTIME_DIR (mode 0700)
// and VANTEL_REGISTRY_DIR, with APPDATA removed. The folders are created. Returns an empty map
// when a folder cannot be created.
EnvChanges isolatedUserEnv(const std::string& root);

// Returns the current environment with changes applied, as "NAME=VALUE" entries.
std::vector<std::string> environmentWith(const EnvChanges& changes);
