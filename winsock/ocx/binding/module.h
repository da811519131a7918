#pragma once
// Shared libraries loaded by name at run time: open, look a symbol up, close, with the loader's
// error text kept with the handle.
//
// The control names its libraries as Windows does ("WS2_32.DLL", "kvtrace6.DLL"); moduleFileName
// turns such a name into the shared object's file name, and moduleOpen looks it up beside the
// module that holds this code first (the folder of libkvlink6.so), then through the dynamic
// loader's path (for this module: its RUNPATH, LD_LIBRARY_PATH, the system folders).
//
//   Module lib;
//   if (moduleOpen("WS2_32.DLL", &lib) != 0) log(moduleError(&lib));
//   void* startup = nullptr;
//   moduleSymbol(&lib, "WSAStartup", &startup);
//
// Libraries are opened with RTLD_NOW | RTLD_LOCAL, so their definitions never replace the names
// of the C library or of any other module (libws2_32.so defines connect, send, select, ...).

#include <string>

namespace kvlink {

struct Module {
    void* handle = nullptr;
    std::string error;  // the loader's text for the last failure, empty after a success
};

// moduleFileName maps a Windows module name to the file name of the shared object:
//  - a name holding a "/" is a path and is used as it is;
//  - a name ending in ".so", or holding ".so." (a versioned name), is used as it is;
//  - a name ending in ".dll" (any case), or without any ".", loses that suffix, is lowered
//    (Windows module names ignore case, ours are lower case) and gets "lib" in front unless it
//    starts with it already and ".so" behind: "WS2_32.DLL" gives "libws2_32.so";
//  - any other name is used as it is.
// An empty name stays empty.
std::string moduleFileName(const std::string& name);

// moduleOpen loads the library name (a Windows module name or a path, mapped by moduleFileName).
// A mapped name without a "/" is tried beside this module first, then through the loader's path.
// Returns 0, or -1 with the loader's text in lib->error (the module is then left closed). A
// library that is already loaded in the process is not loaded twice; the loader counts its uses.
int moduleOpen(const std::string& name, Module* lib);

// moduleSymbol finds the function or variable called name that the library itself defines (a
// name that only a library it depends on defines, such as the C library's "select", counts as
// missing). Returns 0 and sets *ptr, or -1 with *ptr null and the reason in lib->error (also for
// a module that is not open).
int moduleSymbol(Module* lib, const char* name, void** ptr);

// moduleFunction is moduleSymbol for a function of type Pointer: the function, or nullptr when
// the library does not define name.
template <typename Pointer>
Pointer moduleFunction(Module* lib, const char* name) {
    void* found = nullptr;
    return moduleSymbol(lib, name, &found) == 0 ? reinterpret_cast<Pointer>(found) : nullptr;
}

// moduleClose releases one use of the library; a closed module is left alone.
void moduleClose(Module* lib);

// moduleError returns the text of the last failure, or "" when there was none.
const char* moduleError(const Module* lib);

// modulePath returns the full path the library was loaded from, or "" when it is not open.
std::string modulePath(const Module* lib);

// moduleFolder returns the folder of the module that holds this code (libkvlink6.so, or the
// program a test links it into), without a trailing "/"; "" when it cannot be found.
std::string moduleFolder();

}  // namespace kvlink
