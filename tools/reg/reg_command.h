#pragma once
// The reg command: read and change the registry store from the command line, with the syntax
// people know from the Windows tool of that name.
//
//   reg query KEY [/v NAME | /ve] [/s]
//   reg add KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD|REG_BINARY] [/d DATA] [/f]
//   reg delete KEY [/v NAME | /ve | /va] [/f]
//
// KEY is a root (HKCU, HKLM, HKCR or HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT),
// optionally followed by "\" and a key path. Switches are matched without letter case and may
// start with "-" as well as "/".
//
//   RegIo io;
//   int status = runReg({"query", "HKCU\\Software\\Vantel"}, io);  // io.out holds the listing

#include <functional>
#include <string>
#include <vector>

struct RegIo {
    std::string out;  // what the command prints on standard output
    std::string err;  // its error messages, each a line starting with "ERROR: "
    // Asked before a value is overwritten without /f or a key or value is deleted without /f;
    // true goes on. Left empty, every such question is answered no.
    std::function<bool(const std::string& question)> confirm;
};

// runReg runs one command (args without the program name) against the store that
// VANTEL_REGISTRY_DIR names (or the user's own). Returns 0 on success; 1 with a message in
// io.err for a bad command line, a missing key or value, a refused question, data that does
// not fit its type, or a change the store refuses (HKEY_LOCAL_MACHINE is read-only).
int runReg(const std::vector<std::string>& args, RegIo& io);
