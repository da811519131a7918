#include "renamer/common/settings.h"

#include "renamer/common/reg.h"

#include <iterator>

namespace vantel {

namespace {

// The registry values of Settings, in the order start-up reads them.
constexpr SettingValue kSettingValues[] = {
    {"types", true, 0, 0},      {"context", false, 0, 2}, {"confirm", false, 0, 1},
    {"nocache", false, 0, 1},   {"noutf8", false, 0, 1},  {"logging", false, 1, 2},
    {"autoclose", false, 0, 1},
};

}  // namespace

std::string readTypesRule(const std::string& stored) {
    return stored.size() < 3 ? std::string(kDefaultTypes) : stored;
}

int32_t readContextRule(int32_t stored) {
    return stored == 0 || stored == 1 ? stored : 2;
}

bool readFlagRule(int32_t stored) {
    return stored != 0;
}

int32_t readLoggingRule(int32_t stored) {
    return stored == 2 ? 2 : 1;
}

bool readAutocloseRule(int32_t stored) {
    return stored == 1;
}

void readSettings(Settings& s) {
    s.types = readTypesRule(modReg::GetSettingString("types"));
    s.context = readContextRule(modReg::GetSettingInt("context"));
    s.confirm = readFlagRule(modReg::GetSettingInt("confirm"));
    s.nocache = readFlagRule(modReg::GetSettingInt("nocache"));
    s.noutf8 = readFlagRule(modReg::GetSettingInt("noutf8"));
    s.logging = readLoggingRule(modReg::GetSettingInt("logging"));
    s.autoclose = readAutocloseRule(modReg::GetSettingInt("autoclose"));
}

std::string normaliseTypes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '.') continue;
        out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    if (!out.empty() && out.back() == ';') out.pop_back();
    return out;
}

const SettingValue* findSettingValue(std::string_view name) {
    for (const SettingValue& v : kSettingValues) {
        if (name == v.name) return &v;
    }
    return nullptr;
}

std::string settingNames() {
    std::string names;
    for (const SettingValue& v : kSettingValues) {
        if (!names.empty()) names += ", ";
        names += v.name;
    }
    return names;
}

}  // namespace vantel
