// The reg command: command-line parsing, then one of query, add and delete over the registry
// calls.

#include "tools/reg/reg_command.h"

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/registry/registry.h"

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  reg query KEY [/v NAME | /ve] [/s]\n"
    "  reg add KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD|REG_BINARY] [/d DATA] [/f]\n"
    "  reg delete KEY [/v NAME | /ve | /va] [/f]\n"
    "KEY: HKCU, HKLM or HKCR (or HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT),\n"
    "     optionally followed by \\ and a key path.\n";

constexpr const char* kNotFound =
    "The system was unable to find the specified registry key or value.";

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

struct Root {
    const char* shortName;
    const char* longName;
    HKEY key;
};

const Root kRoots[] = {
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
};

// What the command line asks for.
struct Command {
    std::string verb;  // "QUERY", "ADD" or "DELETE"
    const Root* root = nullptr;
    std::string path;  // below the root, without a leading backslash; "" is the root itself
    std::optional<std::string> valueName;  // /v NAME, or "" for /ve
    bool allValues = false;                // /va
    bool recurse = false;                  // /s
    bool force = false;                    // /f
    std::optional<std::string> type;       // /t
    std::optional<std::string> data;       // /d
};

int fail(RegIo& io, const std::string& message, bool usage = false) {
    io.err += "ERROR: " + message + "\n";
    if (usage) io.err += kUsage;
    return 1;
}

// Splits KEY into its root and path. False when the root is not one of ours.
bool parseKey(const std::string& text, Command& command) {
    std::string rootName = text.substr(0, text.find('\\'));
    std::string rest = rootName.size() < text.size() ? text.substr(rootName.size() + 1) : "";
    while (!rest.empty() && rest.back() == '\\')
        rest.pop_back();
    for (const Root& root : kRoots) {
        if (upper(rootName) == root.shortName || upper(rootName) == root.longName) {
            command.root = &root;
            command.path = rest;
            return true;
        }
    }
    return false;
}

// Parses the arguments after the verb and the key. On a bad command line returns the message.
std::optional<std::string> parseSwitches(const std::vector<std::string>& args, Command& c) {
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-'))
            return "Invalid syntax: unexpected argument \"" + arg + "\".";
        const std::string name = upper(arg.substr(1));
        auto operand = [&](std::optional<std::string>& slot) -> std::optional<std::string> {
            if (slot) return "Invalid syntax: " + arg + " is given twice.";
            if (i + 1 >= args.size()) return "Invalid syntax: " + arg + " needs a value.";
            slot = args[++i];
            return std::nullopt;
        };
        std::optional<std::string> problem;
        if (name == "V") {
            if (c.valueName) return "Invalid syntax: only one of /v and /ve may be given.";
            problem = operand(c.valueName);
        } else if (name == "VE") {
            if (c.valueName) return "Invalid syntax: only one of /v and /ve may be given.";
            c.valueName = "";
        } else if (name == "VA" && c.verb == "DELETE") {
            c.allValues = true;
        } else if (name == "S" && c.verb == "QUERY") {
            c.recurse = true;
        } else if (name == "F" && c.verb != "QUERY") {
            c.force = true;
        } else if (name == "T" && c.verb == "ADD") {
            problem = operand(c.type);
        } else if (name == "D" && c.verb == "ADD") {
            problem = operand(c.data);
        } else {
            return "Invalid syntax: " + arg + " is not a switch of reg " + args[0] + ".";
        }
        if (problem) return problem;
    }
    if (c.allValues && c.valueName) return "Invalid syntax: /va cannot go with /v or /ve.";
    return std::nullopt;
}

std::string keyName(const Command& c, const std::string& path) {
    return std::string(c.root->longName) + (path.empty() ? "" : "\\" + path);
}

// An open key that closes itself.
class OpenKey {
  public:
    OpenKey() = default;
    ~OpenKey() {
        if (m_key) RegCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY* out() { return &m_key; }
    HKEY get() const { return m_key; }

  private:
    HKEY m_key = nullptr;
};

std::string systemMessage(LSTATUS status) {
    switch (status) {
        case ERROR_FILE_NOT_FOUND:
            return kNotFound;
        case ERROR_ACCESS_DENIED:
            return "Access is denied.";
        case ERROR_BAD_PATHNAME:
            return "The key path is not valid.";
        case ERROR_BADDB:
            return "The registry store " + RegistryStorePath() +
                   " cannot be read; it is left as it is.";
        case ERROR_CANTREAD:
            return "The registry store " + RegistryStorePath() + " cannot be read.";
        case ERROR_CANTWRITE:
            return "The registry store " + RegistryStorePath() + " cannot be written.";
        default:
            return "The registry call failed with error " + std::to_string(status) + ".";
    }
}

std::string typeName(DWORD type) {
    switch (type) {
        case REG_NONE:
            return "REG_NONE";
        case REG_SZ:
            return "REG_SZ";
        case REG_EXPAND_SZ:
            return "REG_EXPAND_SZ";
        case REG_BINARY:
            return "REG_BINARY";
        case REG_DWORD:
            return "REG_DWORD";
        default:
            return "REG_0x" + std::to_string(type);
    }
}

std::string formatData(DWORD type, const std::vector<BYTE>& data) {
    char buffer[16];
    if (type == REG_DWORD && data.size() == 4) {
        DWORD value = static_cast<DWORD>(data[0] | data[1] << 8 | data[2] << 16 |
                                         static_cast<DWORD>(data[3]) << 24);
        std::snprintf(buffer, sizeof buffer, "0x%" PRIx32, value);
        return buffer;
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::string text(data.begin(), data.end());
        return text.substr(0, text.find('\0'));
    }
    std::string hex;
    for (BYTE b : data) {
        std::snprintf(buffer, sizeof buffer, "%02X", b);
        hex += buffer;
    }
    return hex;
}

void printValue(RegIo& io, const std::string& name, DWORD type, const std::vector<BYTE>& data) {
    io.out += "    " + (name.empty() ? std::string("(Default)") : name) + "    " + typeName(type) +
              "    " + formatData(type, data) + "\n";
}

// Reads value number index of key. False past the last one.
bool enumValue(HKEY key, DWORD index, std::string& name, DWORD& type, std::vector<BYTE>& data) {
    char nameBuffer[16384];
    DWORD nameSize = sizeof nameBuffer;
    DWORD dataSize = 0;
    if (RegEnumValueA(key, index, nameBuffer, &nameSize, nullptr, &type, nullptr, &dataSize) !=
        ERROR_SUCCESS)
        return false;
    data.resize(dataSize);
    nameSize = sizeof nameBuffer;
    if (RegEnumValueA(key, index, nameBuffer, &nameSize, nullptr, &type, data.data(), &dataSize) !=
        ERROR_SUCCESS)
        return false;
    data.resize(dataSize);
    name.assign(nameBuffer, nameSize);
    return true;
}

std::vector<std::string> subkeys(HKEY key) {
    std::vector<std::string> names;
    char name[512];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, size);
    }
    return names;
}

// Lists one key: its name, then its values (only the one asked for, when /v or /ve), then, without
// /s, the names of its subkeys; with /s, each subkey the same way. Counts the values shown.
void listKey(RegIo& io, const Command& c, HKEY key, const std::string& path, int& matches) {
    std::string shown;
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
    for (DWORD i = 0; enumValue(key, i, name, type, data); ++i) {
        if (c.valueName && upper(name) != upper(*c.valueName)) continue;
        RegIo line;
        printValue(line, name, type, data);
        shown += line.out;
        ++matches;
    }
    if (!shown.empty() || !c.valueName) io.out += "\n" + keyName(c, path) + "\n" + shown;
    for (const std::string& sub : subkeys(key)) {
        std::string subPath = path.empty() ? sub : path + "\\" + sub;
        if (!c.recurse) {
            if (!c.valueName) io.out += "\n" + keyName(c, subPath);
            continue;
        }
        OpenKey child;
        if (RegOpenKeyExA(key, sub.c_str(), 0, KEY_READ, child.out()) == ERROR_SUCCESS)
            listKey(io, c, child.get(), subPath, matches);
    }
    if (!c.recurse && !c.valueName && !subkeys(key).empty()) io.out += "\n";
}

int query(const Command& c, RegIo& io) {
    OpenKey key;
    if (LSTATUS s = RegOpenKeyExA(c.root->key, c.path.c_str(), 0, KEY_READ, key.out()))
        return fail(io, systemMessage(s));
    int matches = 0;
    listKey(io, c, key.get(), c.path, matches);
    if (c.valueName && matches == 0) {
        io.out.clear();
        return fail(io, kNotFound);
    }
    if (c.recurse) io.out += "\nEnd of search: " + std::to_string(matches) + " match(es) found.\n";
    return 0;
}

// Turns /d into the bytes of the type. On data that does not fit the type returns the message.
std::optional<std::string> encode(DWORD type, const std::string& text, std::vector<BYTE>& out) {
    out.clear();
    if (type == REG_SZ) {
        out.assign(text.begin(), text.end());
        return std::nullopt;
    }
    if (type == REG_DWORD) {
        uint64_t value = 0;
        if (!text.empty()) {
            errno = 0;
            char* end = nullptr;
            value = std::strtoull(text.c_str(), &end, 0);
            if (errno != 0 || *end != '\0' || text[0] == '-' || text[0] == '+' ||
                value > 0xFFFFFFFFull)
                return "Invalid REG_DWORD data \"" + text +
                       "\": give a number from 0 to 4294967295, decimal or 0x hexadecimal.";
        }
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<BYTE>(value >> shift));
        return std::nullopt;
    }
    if (text.size() % 2 != 0 || text.find_first_not_of("0123456789abcdefABCDEF") != text.npos)
        return "Invalid REG_BINARY data \"" + text +
               "\": give an even number of hexadecimal digits.";
    for (size_t i = 0; i < text.size(); i += 2)
        out.push_back(static_cast<BYTE>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return std::nullopt;
}

bool ask(RegIo& io, const std::string& question) {
    return io.confirm && io.confirm(question);
}

int add(const Command& c, RegIo& io) {
    DWORD type = REG_SZ;
    if (c.type) {
        const std::string t = upper(*c.type);
        if (t == "REG_SZ")
            type = REG_SZ;
        else if (t == "REG_DWORD")
            type = REG_DWORD;
        else if (t == "REG_BINARY")
            type = REG_BINARY;
        else
            return fail(io,
                        "Invalid type \"" + *c.type + "\": use REG_SZ, REG_DWORD or REG_BINARY.");
    }
    std::vector<BYTE> bytes;
    if (auto problem = encode(type, c.data.value_or(""), bytes)) return fail(io, *problem);

    OpenKey key;
    if (LSTATUS s = RegCreateKeyExA(c.root->key, c.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, key.out(), nullptr))
        return fail(io, systemMessage(s));
    // /t or /d without a value name set the key's default value.
    if (!c.valueName && !c.type && !c.data) {
        io.out += "The operation completed successfully.\n";
        return 0;
    }
    const std::string name = c.valueName.value_or("");
    if (!c.force &&
        RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS &&
        !ask(io, "Value " + (name.empty() ? std::string("(Default)") : name) +
                     " exists, overwrite (Yes/No)?"))
        return fail(io, "The value exists and was left as it is; use /f to overwrite it.");
    if (LSTATUS s = RegSetValueExA(key.get(), name.c_str(), 0, type, bytes.data(),
                                   static_cast<DWORD>(bytes.size())))
        return fail(io, systemMessage(s));
    io.out += "The operation completed successfully.\n";
    return 0;
}

int remove(const Command& c, RegIo& io) {
    OpenKey key;
    if (LSTATUS s = RegOpenKeyExA(c.root->key, c.path.c_str(), 0, KEY_ALL_ACCESS, key.out()))
        return fail(io, systemMessage(s));
    const std::string shown = keyName(c, c.path);
    if (!c.valueName && !c.allValues) {
        if (c.path.empty()) return fail(io, "A root key cannot be deleted.");
        if (!c.force && !ask(io, "Permanently delete the registry key " + shown + " (Yes/No)?"))
            return fail(io, "The key was not deleted.");
        if (LSTATUS s = RegDeleteTreeA(c.root->key, c.path.c_str()))
            return fail(io, systemMessage(s));
    } else if (c.allValues) {
        if (!c.force &&
            !ask(io, "Delete all values under the registry key " + shown + " (Yes/No)?"))
            return fail(io, "The values were not deleted.");
        std::vector<std::string> names;
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
        for (DWORD i = 0; enumValue(key.get(), i, name, type, data); ++i)
            names.push_back(name);
        for (const std::string& n : names) {
            if (LSTATUS s = RegDeleteValueA(key.get(), n.c_str()))
                return fail(io, systemMessage(s));
        }
    } else {
        const std::string& name = *c.valueName;
        if (RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            return fail(io, kNotFound);
        if (!c.force &&
            !ask(io, "Delete the registry value " +
                         (name.empty() ? std::string("(Default)") : name) + " (Yes/No)?"))
            return fail(io, "The value was not deleted.");
        if (LSTATUS s = RegDeleteValueA(key.get(), name.c_str())) return fail(io, systemMessage(s));
    }
    io.out += "The operation completed successfully.\n";
    return 0;
}

}  // namespace

int runReg(const std::vector<std::string>& args, RegIo& io) {
    if (args.empty()) return fail(io, "Invalid syntax: no operation given.", true);
    Command command;
    command.verb = upper(args[0]);
    if (command.verb != "QUERY" && command.verb != "ADD" && command.verb != "DELETE")
        return fail(io, "Invalid syntax: unknown operation \"" + args[0] + "\".", true);
    if (args.size() < 2) return fail(io, "Invalid syntax: no key given.", true);
    if (!parseKey(args[1], command))
        return fail(io,
                    "Invalid key name \"" + args[1] + "\": it must start with HKCU, HKLM or HKCR.",
                    true);
    if (auto problem = parseSwitches(args, command)) return fail(io, *problem, true);
    if (command.verb == "QUERY") return query(command, io);
    if (command.verb == "ADD") return add(command, io);
    return remove(command, io);
}
