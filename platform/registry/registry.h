#pragma once
// The registry: a per-user tree of keys holding typed values, under three roots.
//
// The store is one UTF-8 text file per user (see RegistryStorePath), read afresh by every call
// and rewritten whole by every change: under an exclusive file lock, into a temporary file that
// is flushed to disk and renamed over the old one. So two processes never lose each other's
// writes, and a crash at any moment leaves either the old or the new file, never a torn one.
//
//   HKEY key;
//   if (RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Vantel", 0, nullptr, 0, KEY_ALL_ACCESS,
//                       nullptr, &key, nullptr) == ERROR_SUCCESS) {
//       DWORD v = 2;
//       RegSetValueExA(key, "logging", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
//       RegCloseKey(key);
//   }
//
// Key paths use the backslash, as on Windows; key names compare case-insensitively and keep the
// case they were created with; value names likewise. The empty value name is the key's default.
//
// Roots:
// - HKEY_CURRENT_USER: the user's own tree, read and written.
// - HKEY_CLASSES_ROOT: a view of HKEY_CURRENT_USER\Software\Classes (per-user registration);
//   reads and writes go there.
// - HKEY_LOCAL_MACHINE: read-only facts of this machine, for example
//   SYSTEM\CurrentControlSet\Services\Tcpip\Parameters "Domain" (REG_SZ) from the resolver
//   configuration. Writes fail with ERROR_ACCESS_DENIED.

#include <cstddef>
#include <cstdint>
#include <string>

using LSTATUS = long;
using DWORD = uint32_t;
using BYTE = uint8_t;
using REGSAM = DWORD;

struct HKEY__;
using HKEY = HKEY__*;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))

// Result codes (Windows values).
constexpr LSTATUS ERROR_SUCCESS = 0;
constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
constexpr LSTATUS ERROR_OUTOFMEMORY = 14;
constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
constexpr LSTATUS ERROR_MORE_DATA = 234;
constexpr LSTATUS ERROR_NO_MORE_ITEMS = 259;
constexpr LSTATUS ERROR_BADDB = 1009;          // the store file cannot be parsed
constexpr LSTATUS ERROR_CANTWRITE = 1013;      // the store file cannot be written

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

// Access rights are accepted and ignored (the store has one owner).
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// The environment variable that relocates the store: when set to a folder, the store file lives
// there. Tests set it to a temporary folder.
constexpr const char* kRegistryDirVariable = "VANTEL_REGISTRY_DIR";

// The store file in use: $VANTEL_REGISTRY_DIR/registry.txt, else
// $XDG_CONFIG_HOME/vantel/registry.txt, else ~/.config/vantel/registry.txt.
std::string RegistryStorePath();

// Opens an existing key (subKey nullptr or "" opens the root itself). ERROR_FILE_NOT_FOUND when
// the key does not exist.
LSTATUS RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM sam, HKEY* result);

// Opens a key, creating it and every missing parent. disposition (may be nullptr) receives
// REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
LSTATUS RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* className,
                        DWORD options, REGSAM sam, const void* security, HKEY* result,
                        DWORD* disposition);

LSTATUS RegCloseKey(HKEY key);

// Reads a value. type and data may be nullptr; size (in/out) is the buffer size in bytes.
// A REG_SZ value is returned with its terminating NUL (counted in size). A buffer that is too
// small gives ERROR_MORE_DATA with the needed size. A missing value: ERROR_FILE_NOT_FOUND.
LSTATUS RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type,
                         BYTE* data, DWORD* size);

// Writes a value of any type; the bytes are stored as given (for REG_SZ a trailing NUL, if
// present, is not part of the text).
LSTATUS RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type,
                       const BYTE* data, DWORD size);

LSTATUS RegDeleteValueA(HKEY key, const char* valueName);

// Deletes one key that has no subkeys (ERROR_ACCESS_DENIED when it has some, as on Windows).
LSTATUS RegDeleteKeyA(HKEY key, const char* subKey);

// Deletes a key with everything below it (subKey nullptr: everything below key itself).
LSTATUS RegDeleteTreeA(HKEY key, const char* subKey);

// Enumerates the subkeys or the values of a key by index (ERROR_NO_MORE_ITEMS past the end).
// nameSize is in/out, in bytes including the NUL.
LSTATUS RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                      char* className, DWORD* classSize, void* lastWriteTime);
LSTATUS RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                      DWORD* type, BYTE* data, DWORD* dataSize);
