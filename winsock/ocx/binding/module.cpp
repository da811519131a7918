// Loading shared libraries by name: the name mapping, the search beside this module, and dlopen.

#include "winsock/ocx/binding/module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

namespace kvlink {
namespace {

bool endsWithNoCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

std::string lowered(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The loader's text for the failure just seen; dlerror can return null when it has none.
std::string loaderError(const char* fallback) {
    const char* text = dlerror();
    return text ? text : fallback;
}

int openPath(const std::string& path, Module* lib) {
    dlerror();  // forget an older failure, so the text below is this call's
    lib->handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib->handle) {
        lib->error = loaderError("cannot load the library");
        return -1;
    }
    lib->error.clear();
    return 0;
}

// The folders the loader searches for a library that this module loads: LD_LIBRARY_PATH, this
// module's run path, the system folders, as the loader itself lists them. Searching them here,
// instead of leaving the bare name to dlopen, keeps the search this module's even when dlopen is
// wrapped by another library (a sanitizer's interceptor, which the loader would take for the
// caller and whose run path it would use).
std::vector<std::string> loaderFolders() {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(reinterpret_cast<void*>(&loaderFolders), &info, reinterpret_cast<void**>(&map),
                RTLD_DL_LINKMAP) == 0 ||
        !map) {
        return {};
    }
    // The program itself has no name in the loader's list; dlopen(nullptr) is its handle.
    bool program = !map->l_name || !*map->l_name;
    void* self =
        program ? dlopen(nullptr, RTLD_LAZY) : dlopen(map->l_name, RTLD_LAZY | RTLD_NOLOAD);
    if (!self) return {};
    std::vector<std::string> folders;
    Dl_serinfo size{};
    if (dlinfo(self, RTLD_DI_SERINFOSIZE, &size) == 0 && size.dls_size >= sizeof(Dl_serinfo)) {
        auto* list = static_cast<Dl_serinfo*>(malloc(size.dls_size));
        if (list && dlinfo(self, RTLD_DI_SERINFOSIZE, list) == 0 &&
            dlinfo(self, RTLD_DI_SERINFO, list) == 0) {
            for (unsigned i = 0; i < list->dls_cnt; ++i) {
                if (list->dls_serpath[i].dls_name) folders.push_back(list->dls_serpath[i].dls_name);
            }
        }
        free(list);
    }
    dlclose(self);
    return folders;
}

}  // namespace

std::string moduleFileName(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return name;
    if (endsWithNoCase(name, ".so") || name.find(".so.") != std::string::npos) return name;
    std::string stem;
    if (endsWithNoCase(name, ".dll")) {
        stem = name.substr(0, name.size() - 4);
    } else if (name.find('.') == std::string::npos) {
        stem = name;  // Windows appends ".dll" to a bare module name
    } else {
        return name;
    }
    stem = lowered(stem);
    if (stem.rfind("lib", 0) != 0) stem = "lib" + stem;
    return stem + ".so";
}

std::string moduleFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&moduleFolder), &info) == 0 || !info.dli_fname) return "";
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return "";
    return path.substr(0, slash);
}

int moduleOpen(const std::string& name, Module* lib) {
    lib->handle = nullptr;
    std::string file = moduleFileName(name);
    if (file.empty()) {
        lib->error = "no library name";
        return -1;
    }
    if (file.find('/') != std::string::npos) return openPath(file, lib);
    // Beside this module first: the libraries are installed next to libkvlink6.so. Then the
    // loader's folders for this module, and last the bare name, which also reaches the loader's
    // cache of system libraries.
    std::vector<std::string> folders = loaderFolders();
    if (std::string beside = moduleFolder(); !beside.empty())
        folders.insert(folders.begin(), beside);
    for (const std::string& folder : folders) {
        std::string path = folder + "/" + file;
        if (access(path.c_str(), F_OK) == 0) return openPath(path, lib);
    }
    return openPath(file, lib);
}

int moduleSymbol(Module* lib, const char* name, void** ptr) {
    *ptr = nullptr;
    if (!lib->handle) {
        lib->error = "the library is not loaded";
        return -1;
    }
    dlerror();
    void* found = dlsym(lib->handle, name);
    if (!found) {
        lib->error = loaderError("no such symbol");
        return -1;
    }
    // dlsym also searches the libraries this one depends on, so a network library that lacks
    // "select" would hand out the C library's select, which takes other sets. Only a symbol that
    // the library defines itself counts.
    Dl_info info{};
    link_map* owner = nullptr;
    link_map* self = nullptr;
    if (dladdr1(found, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0 ||
        dlinfo(lib->handle, RTLD_DI_LINKMAP, &self) != 0 || owner != self) {
        lib->error = std::string(name) + ": not defined by the library itself";
        return -1;
    }
    *ptr = found;
    lib->error.clear();
    return 0;
}

void moduleClose(Module* lib) {
    if (lib->handle) dlclose(lib->handle);
    lib->handle = nullptr;
}

const char* moduleError(const Module* lib) {
    return lib->error.c_str();
}

std::string modulePath(const Module* lib) {
    if (!lib->handle) return "";
    link_map* map = nullptr;
    if (dlinfo(lib->handle, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return "";
    char* real = realpath(map->l_name, nullptr);
    if (!real) return map->l_name;
    std::string path = real;
    free(real);
    return path;
}

}  // namespace kvlink
