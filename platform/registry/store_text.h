#pragma once
// The text form of the user's registry tree: the store file. Readable and editable by hand, in
// the manner of a Windows .reg file, and able to carry any bytes in names and data.
//
//   VANTEL REGISTRY 1
//   ; comment lines start with a semicolon; blank lines are ignored
//
//   [HKEY_CURRENT_USER\Software\Vantel]
//   @="4.0"
//   "logging"=dword:00000002
//   "types"="avi;mkv;mpg;mp4"
//   "blob"=hex:00,1f,ff
//   "path"=expand:"%HOME%\\bin"
//   "other"=hex(7):61,00,00,00
//
// - The first line is the format's name and version. An empty file is an empty tree.
// - A section names a key by its path from HKEY_CURRENT_USER; missing parents exist implicitly.
//   A key is written as a section when it has values or no subkeys. In a key name the bytes
//   '%', '[', ']', '\', control bytes, DEL and bytes that are not UTF-8 are written %HH.
// - One value per line: the name ("@" for the default value, else a quoted string), "=", the
//   data: a quoted string (REG_SZ), expand: and a quoted string (REG_EXPAND_SZ), dword: and up
//   to eight hex digits (REG_DWORD of four bytes), hex: and bytes (REG_BINARY), hex(type): and
//   bytes (any other type, or a REG_DWORD that is not four bytes long).
// - In a quoted string: \\ \" \n \r \t \0 and \xHH for any byte; control bytes, DEL and bytes
//   that are not UTF-8 are always written \xHH, so the file is UTF-8 and one value is one line.
// - A section seen twice adds to the same key; a value seen twice keeps the later data.
// - Lines may end in CR LF; spaces around "=" and at line ends are ignored; a UTF-8 byte order
//   mark at the start is skipped.

#include <string>
#include <string_view>

#include "platform/registry/tree.h"

namespace registry {

constexpr std::string_view kStoreFormatLine = "VANTEL REGISTRY 1";

// parseStore reads a store text into root (the HKEY_CURRENT_USER key). False when the text does
// not follow the format; root is then unspecified.
bool parseStore(std::string_view text, Key& root);

// serializeStore writes root as store text; parseStore gives back an equal tree.
std::string serializeStore(const Key& root);

}  // namespace registry
