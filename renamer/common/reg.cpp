#include "renamer/common/reg.h"

#include <algorithm>
#include <limits>

namespace vantel {

namespace modReg {

namespace {

// An open registry key that is closed when it goes out of scope.
class OpenKey {
  public:
    OpenKey() = default;
    ~OpenKey() {
        if (m_key) RegCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    bool open(HKEY root, const std::string& subkey) {
        return RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &m_key) == ERROR_SUCCESS;
    }
    bool create(HKEY root, const std::string& subkey) {
        return RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key,
                               nullptr) == ERROR_SUCCESS;
    }
    HKEY get() const { return m_key; }

  private:
    HKEY m_key = nullptr;
};

}  // namespace

std::string GetSettingString(const std::string& name) {
    return RegReadString(HKEY_CURRENT_USER, kAppKey, name);
}

int16_t GetSettingInt(const std::string& name) {
    std::optional<DWORD> v = RegReadDword(HKEY_CURRENT_USER, kAppKey, name);
    if (!v) return 0;
    // The stored bits are a signed 32-bit number; one that a 16-bit integer cannot hold reads
    // as if nothing were stored.
    int32_t n = static_cast<int32_t>(*v);
    if (n < std::numeric_limits<int16_t>::min() || n > std::numeric_limits<int16_t>::max()) {
        return 0;
    }
    return static_cast<int16_t>(n);
}

bool SaveSettingString(const std::string& name, const std::string& text) {
    return RegWriteString(HKEY_CURRENT_USER, kAppKey, name, text);
}

bool SaveSettingInt(const std::string& name, int32_t value) {
    return RegWriteDword(HKEY_CURRENT_USER, kAppKey, name, static_cast<DWORD>(value));
}

std::string RegReadString(HKEY root, const std::string& subkey, const std::string& name) {
    OpenKey key;
    if (!key.open(root, subkey)) return {};
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    std::string buffer(size, ' ');
    if (size > 0 &&
        RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
        return {};
    }
    buffer.resize(std::min<size_t>(size, buffer.size()));
    size_t nul = buffer.find('\0');
    if (nul != std::string::npos) buffer.resize(nul);
    return buffer;
}

std::optional<DWORD> RegReadDword(HKEY root, const std::string& subkey, const std::string& name) {
    OpenKey key;
    if (!key.open(root, subkey)) return std::nullopt;
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return std::nullopt;
    }
    return value;
}

bool RegWriteString(HKEY root, const std::string& subkey, const std::string& name,
                    const std::string& text) {
    OpenKey key;
    if (!key.create(root, subkey)) return false;
    return RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.data()),
                          static_cast<DWORD>(text.size())) == ERROR_SUCCESS;
}

bool RegWriteDword(HKEY root, const std::string& subkey, const std::string& name, DWORD value) {
    OpenKey key;
    if (!key.create(root, subkey)) return false;
    return RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

bool DeleteRegKey(HKEY root, const std::string& subkey) {
    return RegDeleteKeyA(root, subkey.c_str()) == ERROR_SUCCESS;
}

}  // namespace modReg

}  // namespace vantel
