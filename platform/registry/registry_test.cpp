#include "platform/registry/registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "platform/registry/machine.h"
#include "platform/registry/test_folder.h"

using namespace std::string_literals;

namespace {

class Registry : public RegistryFolderTest {};

HKEY create(HKEY root, const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    return key;
}

LSTATUS set(HKEY key, const char* name, DWORD type, const std::string& bytes) {
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size()));
}

// A value as a caller reads it: the size first, then the bytes.
struct Read {
    LSTATUS status;
    DWORD type = 0;
    std::string bytes;
};

Read query(HKEY key, const char* name) {
    Read read{};
    DWORD size = 0;
    read.status = RegQueryValueExA(key, name, nullptr, &read.type, nullptr, &size);
    if (read.status != ERROR_SUCCESS) return read;
    read.bytes.resize(size);
    read.status = RegQueryValueExA(key, name, nullptr, &read.type,
                                   reinterpret_cast<BYTE*>(read.bytes.data()), &size);
    read.bytes.resize(size);
    return read;
}

Read query(HKEY root, const char* path, const char* name) {
    HKEY key = nullptr;
    Read read{};
    read.status = RegOpenKeyExA(root, path, 0, KEY_READ, &key);
    if (read.status != ERROR_SUCCESS) return read;
    read = query(key, name);
    RegCloseKey(key);
    return read;
}

std::vector<std::string> subkeys(HKEY key) {
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, size);
    }
    return names;
}

TEST_F(Registry, TypedValuesComeBackAsWritten) {
    const std::string dword2("\x02\0\0\0", 4);
    const struct {
        DWORD type;
        std::string written, read;
    } cases[] = {
        {REG_SZ, "4.0\0"s, "4.0\0"s},    // the NUL counted by the caller
        {REG_SZ, "4.0", "4.0\0"s},       // the NUL left out (modReg writes so)
        {REG_SZ, "", "\0"s},             // empty text
        {REG_SZ, "a\0b\0"s, "a\0b\0"s},  // inner NULs are data
        {REG_EXPAND_SZ, "%HOME%\\x\0"s, "%HOME%\\x\0"s},
        {REG_DWORD, dword2, dword2},
        {REG_BINARY, "\0\xff\0"s, "\0\xff\0"s},  // a trailing NUL of binary data stays
        {REG_BINARY, "", ""},
        {REG_NONE, "x", "x"},
    };
    HKEY key = create(HKEY_CURRENT_USER, "SOFTWARE\\Vantel");
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string name = "v" + std::to_string(i);
        ASSERT_EQ(set(key, name.c_str(), cases[i].type, cases[i].written), ERROR_SUCCESS);
    }
    RegCloseKey(key);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string name = "v" + std::to_string(i);
        const Read read = query(HKEY_CURRENT_USER, "SOFTWARE\\Vantel", name.c_str());
        EXPECT_EQ(read.status, ERROR_SUCCESS) << i;
        EXPECT_EQ(read.type, cases[i].type) << i;
        EXPECT_EQ(read.bytes, cases[i].read) << i;
    }
}

TEST_F(Registry, QueriesFollowTheBufferRules) {
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Vantel");
    ASSERT_EQ(set(key, "types", REG_SZ, "avi;mkv"), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "logging", REG_DWORD, "\x02\0\0\0"s), ERROR_SUCCESS);
    const struct {
        const char* name;
        DWORD buffer;  // 0: no buffer, only the size is asked
        LSTATUS status;
        DWORD size;
    } cases[] = {
        {"types", 0, ERROR_SUCCESS, 8},          {"types", 8, ERROR_SUCCESS, 8},
        {"types", 7, ERROR_MORE_DATA, 8},        {"types", 4, ERROR_MORE_DATA, 8},
        {"logging", 4, ERROR_SUCCESS, 4},        {"logging", 3, ERROR_MORE_DATA, 4},
        {"missing", 4, ERROR_FILE_NOT_FOUND, 4},
    };
    for (const auto& c : cases) {
        BYTE buffer[16] = {};
        DWORD size = c.buffer, type = 99;
        EXPECT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, c.buffer ? buffer : nullptr, &size),
                  c.status)
            << c.name << " " << c.buffer;
        EXPECT_EQ(size, c.size) << c.name << " " << c.buffer;
        if (c.status != ERROR_FILE_NOT_FOUND) {
            EXPECT_EQ(type, c.name == "types"s ? REG_SZ : REG_DWORD);
        }
    }
    DWORD reserved = 0, size = 4;
    BYTE buffer[4];
    EXPECT_EQ(RegQueryValueExA(key, "logging", &reserved, nullptr, buffer, &size),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key, "logging", nullptr, nullptr, buffer, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(Registry, NamesIgnoreLetterCaseAndKeepIt) {
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Vantel");
    ASSERT_EQ(set(key, "Logging", REG_DWORD, "\x01\0\0\0"s), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "LOGGING", REG_DWORD, "\x02\0\0\0"s), ERROR_SUCCESS);
    ASSERT_EQ(set(key, nullptr, REG_SZ, "4.0"), ERROR_SUCCESS);
    RegCloseKey(key);

    EXPECT_EQ(query(HKEY_CURRENT_USER, "SOFTWARE\\VANTEL", "logging").bytes, "\x02\0\0\0"s);
    EXPECT_EQ(query(HKEY_CURRENT_USER, "software\\vantel\\", "").bytes, "4.0\0"s);
    HKEY software = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &software, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(subkeys(software), std::vector<std::string>{"Vantel"});
    char name[32];
    DWORD nameSize = sizeof name, type;
    ASSERT_EQ(RegOpenKeyExA(software, "VANTEL", 0, KEY_READ, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(name, nameSize), "Logging");
    RegCloseKey(key);
    RegCloseKey(software);
}

TEST_F(Registry, EnumeratesByIndex) {
    HKEY key = create(HKEY_CURRENT_USER, "Enum");
    for (const char* sub : {"b", "_x", "A", "c"})
        RegCloseKey(create(key, sub));
    for (const char* value : {"z", "a", "Middle"})
        ASSERT_EQ(set(key, value, REG_SZ, value), 0);
    // Sorted as Windows sorts them: by the upper-case form, so "_" comes after the letters.
    EXPECT_EQ(subkeys(key), (std::vector<std::string>{"A", "b", "c", "_x"}));

    char name[8];
    DWORD nameSize = 6, type = 0, dataSize = 0;
    EXPECT_EQ(RegEnumValueA(key, 2, name, &nameSize, nullptr, &type, nullptr, &dataSize),
              ERROR_MORE_DATA);
    EXPECT_EQ(nameSize, 7u);  // "Middle" and its NUL
    nameSize = 7;
    BYTE data[8];
    dataSize = sizeof data;
    EXPECT_EQ(RegEnumValueA(key, 2, name, &nameSize, nullptr, &type, data, &dataSize),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(name), "Middle");
    EXPECT_EQ(nameSize, 6u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), dataSize), "Middle\0"s);
    nameSize = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 3, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    nameSize = 1;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(nameSize, 2u);
    RegCloseKey(key);
}

TEST_F(Registry, DeletesFollowWindowsRules) {
    RegCloseKey(create(HKEY_CURRENT_USER, "T\\a\\b"));
    HKEY c = create(HKEY_CURRENT_USER, "T\\c");
    ASSERT_EQ(set(c, "v", REG_SZ, "x"), ERROR_SUCCESS);
    RegCloseKey(create(c, "below"));

    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "T\\a"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "t\\A\\B"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "T\\a\\b"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "T\\a"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(c, "missing"), ERROR_FILE_NOT_FOUND);

    // Emptying a key keeps the key itself.
    EXPECT_EQ(RegDeleteTreeA(c, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(query(c, "v").status, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(subkeys(c).empty());
    EXPECT_EQ(set(c, "v", REG_SZ, "again"), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "T"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "T"), ERROR_FILE_NOT_FOUND);
    // The open key was deleted under it: nothing may bring it back.
    EXPECT_EQ(set(c, "v", REG_SZ, "x"), ERROR_KEY_DELETED);
    EXPECT_EQ(query(c, "v").status, ERROR_KEY_DELETED);
    HKEY again = nullptr;
    EXPECT_EQ(RegCreateKeyExA(c, "new", 0, nullptr, 0, 0, nullptr, &again, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_TRUE(subkeys(HKEY_CURRENT_USER).empty());
    RegCloseKey(c);
}

TEST_F(Registry, ClassesRootIsTheUsersClassesKey) {
    // Nothing registered yet: the root reads as an empty key.
    EXPECT_TRUE(subkeys(HKEY_CLASSES_ROOT).empty());
    EXPECT_EQ(query(HKEY_CLASSES_ROOT, "").status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(query(HKEY_CLASSES_ROOT, ".mkv", "").status, ERROR_FILE_NOT_FOUND);

    const char* clsid = "CLSID\\{E05F5BC3-43FB-48CE-9266-025DCDACB529}";
    HKEY server = create(HKEY_CLASSES_ROOT, (clsid + "\\InprocServer32"s).c_str());
    ASSERT_EQ(set(server, "", REG_SZ, "/opt/lib/libkvlink6.so"), ERROR_SUCCESS);
    ASSERT_EQ(set(server, "ThreadingModel", REG_SZ, "Apartment"), ERROR_SUCCESS);
    RegCloseKey(server);
    RegCloseKey(create(HKEY_CLASSES_ROOT, (clsid + "\\Programmable"s).c_str()));
    RegCloseKey(create(HKEY_CLASSES_ROOT, "Kestrine.Wirran\\CLSID"));
    RegCloseKey(create(HKEY_CLASSES_ROOT, "mkvfile\\shell\\Vantel\\command"));

    EXPECT_EQ(query(HKEY_CURRENT_USER,
                    "software\\classes\\clsid\\{e05f5bc3-43fb-48ce-9266-025dcdacb529}\\"
                    "InprocServer32",
                    "")
                  .bytes,
              "/opt/lib/libkvlink6.so\0"s);
    EXPECT_EQ(subkeys(HKEY_CLASSES_ROOT),
              (std::vector<std::string>{"CLSID", "Kestrine.Wirran", "mkvfile"}));

    // Removing shell entries goes deepest first, each key on its own; missing ones are reported.
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "mkvfile\\shell\\Vantel"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "mkvfile\\shell\\Vantel\\ddeexec"),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "mkvfile\\shell\\Vantel\\command"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "mkvfile\\shell\\Vantel"), ERROR_SUCCESS);

    // Unregistration removes the whole class key and leaves its neighbours.
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, clsid), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, clsid), ERROR_SUCCESS);
    EXPECT_EQ(query(HKEY_CLASSES_ROOT, (clsid + "\\InprocServer32"s).c_str(), "").status,
              ERROR_FILE_NOT_FOUND);
    HKEY classes = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, KEY_READ, &classes), 0);
    EXPECT_EQ(subkeys(classes), (std::vector<std::string>{"CLSID", "Kestrine.Wirran", "mkvfile"}));
    RegCloseKey(classes);
}

TEST_F(Registry, LocalMachineShowsThisMachineAndIsReadOnly) {
    setenv("LOCALDOMAIN", "corp.example. other.example", 1);
    const char* tcpip = "System\\CurrentControlSet\\Services\\Tcpip\\Parameters";
    EXPECT_EQ(query(HKEY_LOCAL_MACHINE, tcpip, "Domain").bytes, "corp.example\0"s);
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    const std::string shortHost = std::string(host).substr(0, std::string(host).find('.'));
    EXPECT_EQ(query(HKEY_LOCAL_MACHINE, tcpip, "HOSTNAME").bytes, shortHost + '\0');
    EXPECT_EQ(query(HKEY_LOCAL_MACHINE, (tcpip + "\\Transient"s).c_str(), "Domain").status,
              ERROR_FILE_NOT_FOUND);
    unsetenv("LOCALDOMAIN");

    HKEY key = nullptr, created = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, tcpip, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(set(key, "Domain", REG_SZ, "evil"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(set(HKEY_LOCAL_MACHINE, "x", REG_SZ, "evil"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(key, "Domain"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteTreeA(key, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, tcpip), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SYSTEM"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(
        RegCreateKeyExA(key, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr),
        ERROR_ACCESS_DENIED);
    RegCloseKey(key);
    EXPECT_NE(access(RegistryStorePath().c_str(), F_OK), 0);  // nothing was written anywhere
}

TEST(ResolverDomain, TheDomainLineElseTheFirstSearchEntry) {
    const struct {
        const char* conf;
        const char* domain;
    } cases[] = {
        {"", ""},
        {"nameserver 10.0.0.1\n", ""},
        {"domain example.com\n", "example.com"},
        {"search a.example b.example\n", "a.example"},
        {"domain one.example\nsearch two.example\n", "one.example"},
        {"search a.example\nsearch b.example c.example\n", "b.example"},
        {"search two.example\ndomain one.example.\n", "one.example"},
        {"# domain commented.example\n;search also.example\n", ""},
        {"domain\n", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(registry::resolverDomain(c.conf), c.domain) << c.conf;
}

// A store that does not parse is kept aside under a new name, once, and the program goes on
// with a fresh store: reads see an empty tree and writes start the new file.
TEST_F(Registry, MalformedStoreIsKeptAsideAndAFreshOneStarted) {
    const std::string broken = "VANTEL REGISTRY 1\n[HKEY_CURRENT_USER\\Software\nhalf a line";
    writeStoreText(broken);
    EXPECT_EQ(query(HKEY_CURRENT_USER, "x").status, ERROR_FILE_NOT_FOUND);
    const std::string aside = RegistryStoreSetAside();
    ASSERT_EQ(aside.rfind(RegistryStorePath() + ".damaged-", 0), 0u) << aside;
    std::ifstream in(aside, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), broken);
    EXPECT_EQ(set(HKEY_CURRENT_USER, "x", REG_SZ, "y"), ERROR_SUCCESS);
    EXPECT_EQ(query(HKEY_CURRENT_USER, "x").bytes, std::string("y", 2));  // with its NUL

    // Damaged again: a second name beside the first, under the lock of a write this time.
    writeStoreText(broken);
    EXPECT_EQ(set(HKEY_CURRENT_USER, "z", REG_SZ, "w"), ERROR_SUCCESS);
    EXPECT_EQ(query(HKEY_CURRENT_USER, "x").status, ERROR_FILE_NOT_FOUND);
    EXPECT_NE(RegistryStoreSetAside(), aside);
    size_t kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder))
        kept += entry.path().filename().string().starts_with("registry.txt.damaged-");
    EXPECT_EQ(kept, 2u);
}

// The temporary file of a write is created afresh: a link planted under any name a writer might
// use is never written through, and the temporary files a killed writer left are removed.
TEST_F(Registry, WritesNeverFollowAPlantedTemporaryFile) {
    const std::string target = m_folder + "/target";
    { std::ofstream(target) << "keep"; }
    std::filesystem::create_symlink(target, RegistryStorePath() + ".tmp");
    std::filesystem::create_symlink(target, RegistryStorePath() + ".tmp.1.0");
    { std::ofstream(RegistryStorePath() + ".tmp.999999.3") << "left by a killed run"; }
    ::chmod(m_folder.c_str(), 0755);
    EXPECT_EQ(set(HKEY_CURRENT_USER, "x", REG_SZ, "y"), ERROR_SUCCESS);
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"registry.txt", "registry.txt.lock", "target"}));
    EXPECT_EQ(std::filesystem::status(m_folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    EXPECT_EQ(
        std::filesystem::status(RegistryStorePath()).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(Registry, HandlesAndPathsAreChecked) {
    HKEY key = create(HKEY_CURRENT_USER, "Software");
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(query(key, "v").status, ERROR_INVALID_HANDLE);
    EXPECT_EQ(set(reinterpret_cast<HKEY>(0x1234), "v", REG_SZ, "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);  // roots stay usable
    EXPECT_EQ(set(HKEY_CURRENT_USER, "v", REG_SZ, "x"), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(key, HKEY_CURRENT_USER);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, nullptr),
              ERROR_INVALID_PARAMETER);

    const std::string tooLong(256, 'k');
    for (const std::string& bad : {"\\Software"s, "Software\\\\Vantel"s, tooLong}) {
        HKEY result = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, bad.c_str(), 0, nullptr, 0, 0, nullptr,
                                  &result, nullptr),
                  ERROR_BAD_PATHNAME)
            << bad;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, bad.c_str(), 0, 0, &result), ERROR_BAD_PATHNAME);
    }
    std::string deepest;
    for (size_t i = 0; i < 510; ++i)
        deepest += "k\\";
    RegCloseKey(create(HKEY_CLASSES_ROOT, deepest.c_str()));  // 512 levels with Software\Classes
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (deepest + "k").c_str(), 0, nullptr, 0, 0, nullptr,
                              &key, nullptr),
              ERROR_BAD_PATHNAME);
}

TEST_F(Registry, StoreIsPrivateAndRewrittenOnlyOnChange) {
    const std::string nested = m_folder + "/a/b";
    setenv(kRegistryDirVariable, nested.c_str(), 1);
    ASSERT_EQ(set(HKEY_CURRENT_USER, "v", REG_SZ, "x"), ERROR_SUCCESS);
    struct stat info;
    for (const std::string& folder : {m_folder + "/a", nested}) {
        ASSERT_EQ(stat(folder.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
    }
    ASSERT_EQ(stat(RegistryStorePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u);
    // Each write renames a new file into place; writing the same value again must not.
    const ino_t before = info.st_ino;
    ASSERT_EQ(set(HKEY_CURRENT_USER, "v", REG_SZ, "x"), ERROR_SUCCESS);
    RegCloseKey(create(HKEY_CURRENT_USER, ""));
    ASSERT_EQ(stat(RegistryStorePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_ino, before);
    ASSERT_EQ(set(HKEY_CURRENT_USER, "v", REG_SZ, "changed"), ERROR_SUCCESS);
    ASSERT_EQ(stat(RegistryStorePath().c_str(), &info), 0);
    EXPECT_NE(info.st_ino, before);
}

TEST(RegistryStorePath, FollowsTheEnvironment) {
    const struct {
        const char *dir, *config, *home, *path;
    } cases[] = {
        {"/r", "/c", "/h", "/r/registry.txt"},
        {nullptr, "/c", "/h", "/c/vantel/registry.txt"},
        {"", "/c", "/h", "/c/vantel/registry.txt"},
        {nullptr, nullptr, "/h", "/h/.config/vantel/registry.txt"},
        {nullptr, "relative", "/h", "/h/.config/vantel/registry.txt"},
    };
    for (const auto& c : cases) {
        for (auto [name, value] :
             {std::pair{kRegistryDirVariable, c.dir}, std::pair{"XDG_CONFIG_HOME", c.config},
              std::pair{"HOME", c.home}}) {
            value ? setenv(name, value, 1) : unsetenv(name);
        }
        EXPECT_EQ(RegistryStorePath(), c.path);
    }
    unsetenv(kRegistryDirVariable);
}

}  // namespace
