#include "renamer/cli/setting_commands.h"

#include "renamer/common/reg.h"
#include "renamer/common/settings.h"

#include <charconv>

namespace vantel {

namespace {

// Checks one command; on refusal writes the reason to err and returns false.
bool check(const CliOptions::SettingCommand& command, std::ostream& err) {
    const SettingValue* setting = findSettingValue(command.name);
    if (!setting) {
        err << "vantel-cli: unknown setting '" << command.name << "' (known: " << settingNames()
            << ")\n";
        return false;
    }
    if (!command.is_set) return true;
    if (setting->is_text) {
        // The preferences dialog asks for the same before it stores anything.
        if (command.value.size() < 3) {
            err << "vantel-cli: types needs at least one filetype (3 characters or more); "
                   "separate several with semicolons\n";
            return false;
        }
        return true;
    }
    int32_t number = 0;
    const char* first = command.value.data();
    const char* last = first + command.value.size();
    auto [end, ec] = std::from_chars(first, last, number);
    if (ec != std::errc() || end != last || number < setting->min_value ||
        number > setting->max_value) {
        err << "vantel-cli: " << setting->name << " must be a number from " << setting->min_value
            << " to " << setting->max_value << ", not '" << command.value << "'\n";
        return false;
    }
    return true;
}

int run(const CliOptions::SettingCommand& command, std::ostream& out, std::ostream& err) {
    const SettingValue* setting = findSettingValue(command.name);
    if (command.is_set) {
        bool written = setting->is_text
                           ? modReg::SaveSettingString(setting->name, normaliseTypes(command.value))
                           : modReg::SaveSettingInt(setting->name, std::stoi(command.value));
        if (written) return 0;
        err << "vantel-cli: cannot store " << setting->name << " in " << RegistryStorePath()
            << "\n";
        return 1;
    }
    if (setting->is_text) {
        std::string text = modReg::GetSettingString(setting->name);
        if (!text.empty()) {
            out << text << "\n";
            return 0;
        }
    } else if (auto value =
                   modReg::RegReadDword(HKEY_CURRENT_USER, modReg::kAppKey, setting->name)) {
        out << *value << "\n";
        return 0;
    }
    err << "vantel-cli: " << setting->name << " is not set\n";
    return 1;
}

}  // namespace

int runSettingCommands(const std::vector<CliOptions::SettingCommand>& commands, std::ostream& out,
                       std::ostream& err) {
    for (const auto& command : commands) {
        if (!check(command, err)) return 2;
    }
    int status = 0;
    for (const auto& command : commands) {
        if (run(command, out, err) != 0) status = 1;
    }
    return status;
}

}  // namespace vantel
