#pragma once
// The in-memory form of a registry tree: keys with case-preserving names holding typed values,
// and the lookups that find names without regard to ASCII letter case. Shared by the store file
// format, the user store and the machine's read-only facts.

#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry.h"

namespace registry {

// The deepest chain of keys below a root and the longest key name, as Windows allows.
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxKeyNameLength = 255;

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::string data;  // the stored bytes; a REG_SZ text without a trailing NUL

    bool operator==(const Value&) const = default;
};

struct Key {
    std::string name;
    std::vector<Value> values;  // in the order they were first written
    std::vector<Key> subkeys;   // sorted by name, letter case ignored

    bool operator==(const Key&) const = default;
};

// sameName tells whether two names are equal when ASCII letter case is ignored.
bool sameName(std::string_view a, std::string_view b);

// splitPath splits "A\B\C" into its names; "" gives none, and one trailing backslash is allowed.
// False for a path that cannot name a key (see ERROR_BAD_PATHNAME in registry.h).
bool splitPath(std::string_view path, std::vector<std::string>& names);

// findKey follows names down from key; nullptr when a key on the way is missing.
Key* findKey(Key& key, const std::vector<std::string>& names);
const Key* findKey(const Key& key, const std::vector<std::string>& names);

// createSubkey returns the subkey of that name, adding it first when missing (created tells
// which).
Key& createSubkey(Key& key, std::string_view name, bool& created);

// removeSubkey drops a subkey with everything below it; false when there is none.
bool removeSubkey(Key& key, std::string_view name);

Value* findValue(Key& key, std::string_view name);
const Value* findValue(const Key& key, std::string_view name);

// setValue writes a value in place (an existing value keeps its place and its name's case);
// false when the key held exactly that already.
bool setValue(Key& key, std::string_view name, DWORD type, std::string_view data);

// removeValue drops a value; false when there is none.
bool removeValue(Key& key, std::string_view name);

}  // namespace registry
