#include "platform/registry/tree.h"

#include <algorithm>

namespace registry {

namespace {

unsigned char upper(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

// Windows sorts subkeys by their upper-case form; so does the store, so enumeration order and
// the file's order match what callers know.
bool nameBefore(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return upper(x) < upper(y); });
}

template <typename K>
auto lowerBound(K& key, std::string_view name) {
    return std::lower_bound(key.subkeys.begin(), key.subkeys.end(), name,
                            [](const Key& k, std::string_view n) { return nameBefore(k.name, n); });
}

template <typename K>
auto* findSubkeyIn(K& key, std::string_view name) {
    auto it = lowerBound(key, name);
    return it != key.subkeys.end() && sameName(it->name, name) ? &*it : nullptr;
}

template <typename K>
auto* findValueIn(K& key, std::string_view name) {
    auto it = std::find_if(key.values.begin(), key.values.end(),
                           [name](const Value& v) { return sameName(v.name, name); });
    return it != key.values.end() ? &*it : nullptr;
}

template <typename K>
auto* findKeyIn(K& key, const std::vector<std::string>& names) {
    auto* at = &key;
    for (const std::string& name : names) {
        at = findSubkeyIn(*at, name);
        if (!at) break;
    }
    return at;
}

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return upper(x) == upper(y); });
}

bool splitPath(std::string_view path, std::vector<std::string>& names) {
    names.clear();
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    if (path.empty()) return true;
    size_t start = 0;
    while (true) {
        const size_t end = std::min(path.find('\\', start), path.size());
        const std::string_view name = path.substr(start, end - start);
        if (name.empty() || name.size() > kMaxKeyNameLength || names.size() == kMaxKeyDepth) {
            return false;
        }
        names.emplace_back(name);
        if (end == path.size()) return true;
        start = end + 1;
    }
}

Key* findKey(Key& key, const std::vector<std::string>& names) {
    return findKeyIn(key, names);
}

const Key* findKey(const Key& key, const std::vector<std::string>& names) {
    return findKeyIn(key, names);
}

Key& createSubkey(Key& key, std::string_view name, bool& created) {
    auto it = lowerBound(key, name);
    created = it == key.subkeys.end() || !sameName(it->name, name);
    if (created) it = key.subkeys.insert(it, Key{std::string(name), {}, {}});
    return *it;
}

bool removeSubkey(Key& key, std::string_view name) {
    auto it = lowerBound(key, name);
    if (it == key.subkeys.end() || !sameName(it->name, name)) return false;
    key.subkeys.erase(it);
    return true;
}

Value* findValue(Key& key, std::string_view name) {
    return findValueIn(key, name);
}

const Value* findValue(const Key& key, std::string_view name) {
    return findValueIn(key, name);
}

bool setValue(Key& key, std::string_view name, DWORD type, std::string_view data) {
    Value* value = findValue(key, name);
    if (!value) {
        key.values.push_back(Value{std::string(name), type, std::string(data)});
        return true;
    }
    if (value->type == type && value->data == data) return false;
    value->type = type;
    value->data = data;
    return true;
}

bool removeValue(Key& key, std::string_view name) {
    auto it = std::find_if(key.values.begin(), key.values.end(),
                           [name](const Value& v) { return sameName(v.name, name); });
    if (it == key.values.end()) return false;
    key.values.erase(it);
    return true;
}

}  // namespace registry
