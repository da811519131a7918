#pragma once
// modReg: every registry access of the renamer goes through here.
//
// The setting forms work on the program's key HKEY_CURRENT_USER\SOFTWARE\Vantel, where every
// value lives directly (no subkeys): the Settings fields, the version that last started (the
// key's default value, name "") and one "<id>msgskip$" value per suppressed message. The
// low-level forms take the root and the subkey path explicitly; each opens the key, does one
// operation and closes it again, so nothing is cached and another process's writes are seen at
// once. Errors are never reported: a missing key or value, a value of another type or a failed
// call gives the empty text, 0, or false.
//
//   modReg::SaveSettingInt("logging", 2);
//   int16_t level = modReg::GetSettingInt("logging");  // 2

#include "platform/registry/registry.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vantel {

namespace modReg {

// The program's key below HKEY_CURRENT_USER.
inline constexpr const char* kAppKey = "SOFTWARE\\Vantel";

// GetSettingString: the REG_SZ value name of the program's key, cut at its first NUL; "" when
// the key or the value is missing, the value is not REG_SZ, or the read fails. "" names the
// key's default value.
std::string GetSettingString(const std::string& name);

// GetSettingInt: the REG_DWORD value name of the program's key as a 16-bit integer; 0 when the
// key or value is missing, the value is not REG_DWORD, or its number does not fit 16 bits.
int16_t GetSettingInt(const std::string& name);

// SaveSettingString / SaveSettingInt: create the program's key if needed and write the value as
// REG_SZ (the text's bytes, no terminating NUL) or REG_DWORD. Failures are ignored; the result
// says whether the write succeeded, for callers that want to tell the user.
bool SaveSettingString(const std::string& name, const std::string& text);
bool SaveSettingInt(const std::string& name, int32_t value);

// RegReadString: the REG_SZ value of root\subkey, cut at its first NUL; "" on any failure.
std::string RegReadString(HKEY root, const std::string& subkey, const std::string& name);

// RegReadDword: the REG_DWORD value of root\subkey; nullopt when the key or value is missing,
// of another type, or unreadable.
std::optional<DWORD> RegReadDword(HKEY root, const std::string& subkey, const std::string& name);

// RegWriteString / RegWriteDword: create root\subkey (with its parents) if needed and write the
// value. False when the key cannot be created or the value not written.
bool RegWriteString(HKEY root, const std::string& subkey, const std::string& name,
                    const std::string& text);
bool RegWriteDword(HKEY root, const std::string& subkey, const std::string& name, DWORD value);

// DeleteRegKey: deletes root\subkey when it has no subkeys. False when it is missing, has
// subkeys, or the store cannot be written.
bool DeleteRegKey(HKEY root, const std::string& subkey);

}  // namespace modReg

}  // namespace vantel
