#pragma once
// The host table: one per process, loaded from a hosts-style file that the control's HostFile
// names, and searched by the host-name lookup before the resolver and by the reverse lookup
// before the address resolver. Every control of the process shares it; it is read and replaced
// under one lock.
//
//   int lines = loadHostTable("hosts.test");   // -1: the error is in the error slot
//   uint32_t address;
//   if (hostTableAddress("beta", &address)) ...
//
// A line of the file is an address, the official name, then aliases; "#" starts a comment.

#include <cstdint>
#include <string>
#include <string_view>

namespace kvlink {

// compactHostText reduces a hosts file to the table's form: one NUL-terminated line per line
// that keeps anything, its tokens separated by single blanks, and an extra NUL at the end (so
// an empty result is the single NUL). A line ends at LF; CR is dropped; any other character
// below "!" counts as a blank; everything from "#" to the end of the line goes.
std::string compactHostText(std::string_view text);

// loadHostTable replaces the process's table with the file fileName: a name holding "/" is
// taken as it is (relative to the working folder), a bare name is looked for in the working
// folder and then in each folder of PATH. An empty fileName only unloads the table. Returns the
// number of lines kept (0 leaves no table), or -1 with the table unloaded and the error in the
// error slot: 10002 (wrErrorFileNotFound) when the file is not found or is not a regular file,
// 10013 (wrErrorAccessDenied) when it cannot be read, 10012 (wrErrorOutOfMemory) when it is
// larger than a hosts file can sensibly be (16 MiB).
int loadHostTable(const std::string& fileName);

// hostTablePath is the full path of the loaded file, "" when no table is loaded.
std::string hostTablePath();

// hostTableAddress finds the first line whose official name or an alias equals name (letter
// case ignored) and gives its address. Lines whose first token is not a non-zero dotted address
// are skipped. False, setting no error, when no line matches or no table is loaded.
bool hostTableAddress(const std::string& name, uint32_t* address);

// hostTableName finds the first line with exactly this address and gives its official name.
// False, setting no error, when none does.
bool hostTableName(uint32_t address, std::string* name);

}  // namespace kvlink
