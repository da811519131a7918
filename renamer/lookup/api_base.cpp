#include "renamer/lookup/api_base.h"

#include <cstdlib>
#include <vector>

#include "platform/registry/registry.h"

namespace {

// The REG_SZ value name of the program's key; "" when it is missing or of another type.
std::string programSetting(const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Vantel", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    std::string text;
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ && size > 0) {
        std::vector<BYTE> data(size);
        if (RegQueryValueExA(key, name, nullptr, &type, data.data(), &size) == ERROR_SUCCESS)
            text.assign(reinterpret_cast<const char*>(data.data()), size);
        text = text.substr(0, text.find('\0'));
    }
    RegCloseKey(key);
    return text;
}

}  // namespace

std::string ApiBase(const std::string& commandLine) {
    std::string base = commandLine;
    if (base.empty()) {
        const char* variable = std::getenv(kApiBaseVariable);
        if (variable) base = variable;
    }
    if (base.empty()) base = programSetting(kApiBaseSetting);
    if (base.empty()) base = kDefaultApiBase;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base;
}
