#include "platform/registry/registry.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "platform/registry/machine.h"
#include "platform/registry/store_file.h"
#include "platform/registry/tree.h"

// An opened key: which tree it lives in and its path from that tree's root. HKEY_CLASSES_ROOT
// keys live in the user's tree below Software\Classes.
struct HKEY__ {
    bool machine = false;
    std::vector<std::string> path;
};

namespace {

using registry::Key;

const std::vector<std::string>& classesPath() {
    static const std::vector<std::string> path{"Software", "Classes"};
    return path;
}

// The keys opened and not yet closed. A handle is looked up here before it is used, so a closed
// or made-up handle is reported instead of being followed.
std::mutex& handlesMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unordered_set<HKEY>& openHandles() {
    static std::unordered_set<HKEY> handles;
    return handles;
}

bool isRoot(HKEY key) {
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

// Where a handle points. The roots always exist: HKEY_CLASSES_ROOT reads as an empty key until
// something is written below it.
struct Location {
    bool machine = false;
    bool root = false;
    std::vector<std::string> path;
    size_t handleDepth = 0;  // how much of path the handle itself names

    // Tells, for an opened key, that it was deleted since it was opened.
    bool handleGone(const Key& tree) const {
        return !root && !registry::findKey(tree, {path.begin(), path.begin() + handleDepth});
    }
};

LSTATUS locate(HKEY key, Location& out) {
    out.root = isRoot(key);
    if (key == HKEY_CURRENT_USER) {
        out.path.clear();
    } else if (key == HKEY_CLASSES_ROOT) {
        out.path = classesPath();
    } else if (key == HKEY_LOCAL_MACHINE) {
        out.machine = true;
        out.path.clear();
    } else {
        std::lock_guard<std::mutex> guard(handlesMutex());
        if (!openHandles().count(key)) return ERROR_INVALID_HANDLE;
        out.machine = key->machine;
        out.path = key->path;
    }
    out.handleDepth = out.path.size();
    return ERROR_SUCCESS;
}

// Locates key and adds the names of subKey to its path.
LSTATUS locateBelow(HKEY key, const char* subKey, Location& out) {
    if (const LSTATUS status = locate(key, out); status != ERROR_SUCCESS) return status;
    std::vector<std::string> names;
    if (!registry::splitPath(subKey ? subKey : "", names) ||
        out.path.size() + names.size() > registry::kMaxKeyDepth) {
        return ERROR_BAD_PATHNAME;
    }
    out.path.insert(out.path.end(), names.begin(), names.end());
    return ERROR_SUCCESS;
}

LSTATUS readTree(const Location& at, Key& root) {
    if (at.machine) {
        root = registry::machineTree();
        return ERROR_SUCCESS;
    }
    return registry::readStore(RegistryStorePath(), root);
}

// The key a read looks at; a root that is missing in the store reads as an empty key.
LSTATUS findForRead(const Location& at, const Key& root, const Key*& out) {
    static const Key empty;
    out = registry::findKey(root, at.path);
    if (out) return ERROR_SUCCESS;
    out = &empty;
    return at.root ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// Runs a read against the key a handle points at.
template <typename Read>
LSTATUS readKey(HKEY key, Read read) {
    Location at;
    Key root;
    const Key* found = nullptr;
    LSTATUS status = locate(key, at);
    if (status == ERROR_SUCCESS) status = readTree(at, root);
    if (status == ERROR_SUCCESS) status = findForRead(at, root, found);
    return status == ERROR_SUCCESS ? read(*found) : status;
}

// Runs a change against the key a handle points at, in the user's store. A missing root key is
// created when create is set (a write below HKEY_CLASSES_ROOT makes Software\Classes).
template <typename Change>
LSTATUS changeKey(HKEY key, bool create, Change change) {
    Location at;
    if (const LSTATUS status = locate(key, at); status != ERROR_SUCCESS) return status;
    if (at.machine) return ERROR_ACCESS_DENIED;
    return registry::changeStore(RegistryStorePath(), [&](Key& root, bool& changed) {
        Key* found = registry::findKey(root, at.path);
        if (!found && at.root && create) {
            found = &root;
            for (const std::string& name : at.path) {
                bool created;
                found = &registry::createSubkey(*found, name, created);
                changed = changed || created;
            }
        }
        if (found) return change(*found, changed);
        if (!at.root) return ERROR_KEY_DELETED;
        // A root missing in the store is an empty key; what is done to it is not kept.
        Key empty;
        const LSTATUS status = change(empty, changed);
        changed = false;
        return status;
    });
}

HKEY openHandle(const Location& at) {
    HKEY handle = new HKEY__{at.machine, at.path};
    std::lock_guard<std::mutex> guard(handlesMutex());
    openHandles().insert(handle);
    return handle;
}

// Gives the bytes of a value as a query returns them: a text with its terminating NUL.
std::string returnedBytes(const registry::Value& value) {
    std::string bytes = value.data;
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) bytes += '\0';
    return bytes;
}

// Fills type, data and size from a value, with the buffer rules of RegQueryValueExA.
LSTATUS copyValue(const registry::Value& value, DWORD* type, BYTE* data, DWORD* size) {
    const std::string bytes = returnedBytes(value);
    if (type) *type = value.type;
    if (!size) return ERROR_SUCCESS;
    const DWORD needed = static_cast<DWORD>(bytes.size());
    const DWORD room = *size;
    *size = needed;
    if (!data) return ERROR_SUCCESS;
    if (room < needed) return ERROR_MORE_DATA;
    std::memcpy(data, bytes.data(), bytes.size());
    return ERROR_SUCCESS;
}

// Copies a name with its NUL into a buffer of *size bytes, by the rules of the enumerations.
LSTATUS copyName(const std::string& name, char* buffer, DWORD* size) {
    if (*size < name.size() + 1) {
        *size = static_cast<DWORD>(name.size() + 1);
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    std::vector<char> buffer(16384);
    passwd entry;
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir) {
        return found->pw_dir;
    }
    return "/";
}

}  // namespace

std::string RegistryStorePath() {
    if (const char* dir = std::getenv(kRegistryDirVariable); dir && *dir) {
        return std::string(dir) + "/registry.txt";
    }
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/') {
        return std::string(config) + "/vantel/registry.txt";
    }
    return homeFolder() + "/.config/vantel/registry.txt";
}

std::string RegistryStoreSetAside() {
    return registry::damagedStoreSetAside();
}

LSTATUS RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM sam, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    Location at;
    if (const LSTATUS status = locateBelow(key, subKey, at); status != ERROR_SUCCESS) return status;
    if (isRoot(key) && (!subKey || !*subKey)) {
        *result = key;
        return ERROR_SUCCESS;
    }
    Key root;
    if (const LSTATUS status = readTree(at, root); status != ERROR_SUCCESS) return status;
    if (!registry::findKey(root, at.path)) {
        return at.handleGone(root) ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
    }
    *result = openHandle(at);
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* className,
                        DWORD options, REGSAM sam, const void* security, HKEY* result,
                        DWORD* disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    Location at;
    if (const LSTATUS status = locateBelow(key, subKey, at); status != ERROR_SUCCESS) return status;
    if (at.machine) {
        // The machine's tree cannot grow, but its keys open as they do with RegOpenKeyExA.
        const LSTATUS status = RegOpenKeyExA(key, subKey, options, sam, result);
        if (status == ERROR_SUCCESS && disposition) *disposition = REG_OPENED_EXISTING_KEY;
        return status == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : status;
    }
    std::vector<std::string> names;
    registry::splitPath(subKey ? subKey : "", names);
    bool createdAny = false;
    const LSTATUS status = changeKey(key, true, [&](Key& base, bool& changed) {
        Key* at = &base;
        for (const std::string& name : names) {
            bool created;
            at = &registry::createSubkey(*at, name, created);
            createdAny = createdAny || created;
        }
        changed = changed || createdAny;
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) return status;
    if (disposition) *disposition = createdAny ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = isRoot(key) && names.empty() ? key : openHandle(at);
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
    if (isRoot(key)) return ERROR_SUCCESS;
    {
        std::lock_guard<std::mutex> guard(handlesMutex());
        if (!openHandles().erase(key)) return ERROR_INVALID_HANDLE;
    }
    delete key;
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                         DWORD* size) {
    if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
    return readKey(key, [&](const Key& found) {
        const registry::Value* value = registry::findValue(found, valueName ? valueName : "");
        return value ? copyValue(*value, type, data, size) : ERROR_FILE_NOT_FOUND;
    });
}

LSTATUS RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type,
                       const BYTE* data, DWORD size) {
    if (!data && size) return ERROR_INVALID_PARAMETER;
    std::string bytes = data ? std::string(reinterpret_cast<const char*>(data), size) : "";
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && !bytes.empty() && bytes.back() == '\0') {
        bytes.pop_back();
    }
    return changeKey(key, true, [&](Key& found, bool& changed) {
        changed = registry::setValue(found, valueName ? valueName : "", type, bytes) || changed;
        return ERROR_SUCCESS;
    });
}

LSTATUS RegDeleteValueA(HKEY key, const char* valueName) {
    return changeKey(key, false, [&](Key& found, bool& changed) {
        changed = registry::removeValue(found, valueName ? valueName : "");
        return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

namespace {

// Deletes the key at subKey below key; refuseWithSubkeys refuses a key that has any
// (RegDeleteKeyA).
LSTATUS deleteKey(HKEY key, const char* subKey, bool refuseWithSubkeys) {
    Location at;
    if (const LSTATUS status = locateBelow(key, subKey, at); status != ERROR_SUCCESS) return status;
    if (at.machine || at.path.empty() || (isRoot(key) && !*subKey)) return ERROR_ACCESS_DENIED;
    return registry::changeStore(RegistryStorePath(), [&](Key& root, bool& changed) {
        std::vector<std::string> parentPath(at.path.begin(), at.path.end() - 1);
        Key* parent = registry::findKey(root, parentPath);
        Key* doomed = parent ? registry::findKey(*parent, {at.path.back()}) : nullptr;
        if (!doomed) return at.handleGone(root) ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
        if (refuseWithSubkeys && !doomed->subkeys.empty()) return ERROR_ACCESS_DENIED;
        changed = registry::removeSubkey(*parent, at.path.back());
        return ERROR_SUCCESS;
    });
}

}  // namespace

LSTATUS RegDeleteKeyA(HKEY key, const char* subKey) {
    if (!subKey) return ERROR_INVALID_PARAMETER;
    return deleteKey(key, subKey, true);
}

LSTATUS RegDeleteTreeA(HKEY key, const char* subKey) {
    if (subKey) return deleteKey(key, subKey, false);
    return changeKey(key, false, [&](Key& found, bool& changed) {
        changed = !found.values.empty() || !found.subkeys.empty();
        found.values.clear();
        found.subkeys.clear();
        return ERROR_SUCCESS;
    });
}

LSTATUS RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                      char* className, DWORD* classSize, void* lastWriteTime) {
    if (!name || !nameSize || reserved) return ERROR_INVALID_PARAMETER;
    return readKey(key, [&](const Key& found) {
        if (index >= found.subkeys.size()) return ERROR_NO_MORE_ITEMS;
        if (className && classSize && *classSize) *className = '\0';
        if (classSize) *classSize = 0;
        if (lastWriteTime) std::memset(lastWriteTime, 0, 8);
        return copyName(found.subkeys[index].name, name, nameSize);
    });
}

LSTATUS RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                      DWORD* type, BYTE* data, DWORD* dataSize) {
    if (!name || !nameSize || reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
    return readKey(key, [&](const Key& found) {
        if (index >= found.values.size()) return ERROR_NO_MORE_ITEMS;
        const registry::Value& value = found.values[index];
        const LSTATUS named = copyName(value.name, name, nameSize);
        const LSTATUS copied = copyValue(value, type, data, dataSize);
        return named != ERROR_SUCCESS ? named : copied;
    });
}
