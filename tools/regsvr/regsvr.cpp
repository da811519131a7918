// regsvr: registers or unregisters an in-process server module by calling its DllRegisterServer
// or DllUnregisterServer entry point, as regsvr32 does on Windows.
//
//   regsvr [-u] [-s] MODULE.so
//
// -u unregisters, -s prints nothing on success. Exit status: 0 done, 1 bad usage, 3 the module
// cannot be loaded, 4 it has no such entry point, 5 the entry point failed.

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/com/activation.h"

namespace {

constexpr int kUsage = 1;
constexpr int kLoadFailed = 3;
constexpr int kNoEntryPoint = 4;
constexpr int kCallFailed = 5;
constexpr uint32_t kErrorModuleNotFound = 126;  // ERROR_MOD_NOT_FOUND

int usage() {
    std::fprintf(stderr, "usage: regsvr [-u] [-s] MODULE.so\n");
    return kUsage;
}

// A plain file name means the file in the current folder, not one the loader would search for.
std::string modulePath(const std::string& given) {
    if (given.find('/') == std::string::npos && access(given.c_str(), F_OK) == 0)
        return "./" + given;
    return given;
}

}  // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    bool silent = false;
    const char* module = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0) {
            unregister = true;
        } else if (std::strcmp(argv[i], "-s") == 0) {
            silent = true;
        } else if (argv[i][0] == '-' || module) {
            return usage();
        } else {
            module = argv[i];
        }
    }
    if (!module) return usage();

    const char* entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    std::string why;
    HRESULT hr = callServerRegistration(modulePath(module), unregister, &why);
    if (FAILED(hr)) {
        if (hr == HRESULT_FROM_WIN32(kErrorModuleNotFound) || hr == CO_E_ERRORINDLL) {
            std::fprintf(stderr, "regsvr: %s\n", why.c_str());
            return hr == CO_E_ERRORINDLL ? kNoEntryPoint : kLoadFailed;
        }
        std::fprintf(stderr, "regsvr: %s (%s)\n", why.c_str(), hresultText(hr).c_str());
        return kCallFailed;
    }
    if (!silent) std::printf("regsvr: %s in %s succeeded\n", entryName, module);
    return 0;
}
