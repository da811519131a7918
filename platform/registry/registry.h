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
// - HKEY_LOCAL_MACHINE: read-only facts of this machine, built afresh for each call:
//   SYSTEM\CurrentControlSet\Services\Tcpip\Parameters "Hostname" (REG_SZ, the host name up to
//   its first dot) and "Domain" (REG_SZ, the DNS domain: $LOCALDOMAIN, else the "domain" line
//   of /etc/resolv.conf, else the first entry of its "search" line, else what follows the first
//   dot of the host name). Writes fail with ERROR_ACCESS_DENIED.
//
// Handles: the roots are fixed values and never freed; every other HKEY is a small object that
// RegCloseKey frees. A handle that is not open (closed twice, never opened) gives
// ERROR_INVALID_HANDLE; a handle whose key was deleted meanwhile gives ERROR_KEY_DELETED.
// A path that cannot name a key (a leading backslash, an empty name between two backslashes, a
// name over 255 bytes, more than 512 levels) gives ERROR_BAD_PATHNAME.
//
// A store file that cannot be parsed makes every call that reads it fail with ERROR_BADDB, and
// every change fail with ERROR_BADDB too: it is left exactly as it is, never replaced by a file
// holding less.

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
constexpr LSTATUS ERROR_BAD_PATHNAME = 161;
constexpr LSTATUS ERROR_MORE_DATA = 234;
constexpr LSTATUS ERROR_NO_MORE_ITEMS = 259;
constexpr LSTATUS ERROR_BADDB = 1009;        // the store file cannot be parsed
constexpr LSTATUS ERROR_CANTREAD = 1012;     // the store file exists but cannot be read
constexpr LSTATUS ERROR_CANTWRITE = 1013;    // the store file cannot be written
constexpr LSTATUS ERROR_KEY_DELETED = 1018;  // the open key was deleted meanwhile

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

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;  // the only kind of key there is

constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// The environment variable that relocates the store: when set to a folder, the store file lives
// there. Tests set it to a temporary folder.
constexpr const char* kRegistryDirVariable = "VANTEL_REGISTRY_DIR";

// The store file in use: $VANTEL_REGISTRY_DIR/registry.txt, else
// $XDG_CONFIG_HOME/vantel/registry.txt, else ~/.config/vantel/registry.txt.
std::string RegistryStorePath();

// RegistryStoreSetAside: the name under which this process kept a store file that could not be
// parsed (it then went on with a fresh one), or "" when it kept none. Never fails.
std::string RegistryStoreSetAside();

// RegOpenKeyExA opens an existing key (subKey nullptr or "" opens key itself; for a root, result
// is the root). ERROR_FILE_NOT_FOUND when the key does not exist, ERROR_INVALID_PARAMETER when
// result is nullptr.
LSTATUS RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM sam, HKEY* result);

// RegCreateKeyExA opens a key, creating it and every missing parent. disposition (may be
// nullptr) receives REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY. Under HKEY_LOCAL_MACHINE an
// existing key opens and a missing one gives ERROR_ACCESS_DENIED. ERROR_CANTWRITE when the store
// cannot be written.
LSTATUS RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* className,
                        DWORD options, REGSAM sam, const void* security, HKEY* result,
                        DWORD* disposition);

// RegCloseKey frees an opened key; a root is left alone. ERROR_INVALID_HANDLE when key is not
// open.
LSTATUS RegCloseKey(HKEY key);

// RegQueryValueExA reads a value (valueName nullptr or "": the default value). type and data may
// be nullptr; size (in/out) is the buffer size in bytes, and may be nullptr only when data is.
// A REG_SZ or REG_EXPAND_SZ value is returned with a terminating NUL (counted in size). data
// nullptr gives the needed size. A buffer that is too small gives ERROR_MORE_DATA with the
// needed size (type is filled in either way). A missing value: ERROR_FILE_NOT_FOUND.
// reserved must be nullptr (else ERROR_INVALID_PARAMETER).
LSTATUS RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                         DWORD* size);

// RegSetValueExA writes a value of any type; the bytes are stored as given (for REG_SZ and
// REG_EXPAND_SZ one trailing NUL, if present, is not part of the text). data may be nullptr only
// with size 0 (else ERROR_INVALID_PARAMETER). Writing what is already stored leaves the file as it
// is.
LSTATUS RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type,
                       const BYTE* data, DWORD size);

// RegDeleteValueA removes a value; ERROR_FILE_NOT_FOUND when it is missing.
LSTATUS RegDeleteValueA(HKEY key, const char* valueName);

// RegDeleteKeyA deletes one key that has no subkeys (ERROR_ACCESS_DENIED when it has some, as on
// Windows, and for a root). subKey "" deletes key itself; nullptr is ERROR_INVALID_PARAMETER.
// ERROR_FILE_NOT_FOUND when the key is missing.
LSTATUS RegDeleteKeyA(HKEY key, const char* subKey);

// RegDeleteTreeA deletes a key with everything below it (subKey nullptr: the values and
// subkeys of key itself, which stays). ERROR_FILE_NOT_FOUND when the key is missing.
LSTATUS RegDeleteTreeA(HKEY key, const char* subKey);

// RegEnumKeyExA and RegEnumValueA enumerate the subkeys (sorted by name, letter case ignored) or
// the values (in the order they were first written) of a key by index; ERROR_NO_MORE_ITEMS past
// the end. nameSize is in/out: in, the buffer size in bytes including the NUL; out, the name's
// length without the NUL, as on Windows. A name buffer that is too small gives ERROR_MORE_DATA
// with nameSize set to the size needed (with the NUL). RegEnumValueA fills type, data and
// dataSize as RegQueryValueExA does. className receives "" and classSize 0 when given;
// lastWriteTime (a FILETIME) receives 0 when given: the store keeps no times.
LSTATUS RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                      char* className, DWORD* classSize, void* lastWriteTime);
LSTATUS RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                      DWORD* type, BYTE* data, DWORD* dataSize);
