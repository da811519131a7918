// The preferences dialog's load and OK rules.

#include "renamer/engine/preferences.h"

#include "renamer/common/reg.h"
#include "renamer/engine/core.h"
#include "renamer/engine/open_with_entry.h"
#include "renamer/engine/shell_entries.h"

namespace vantel {

PreferenceChoices loadPreferences(const Settings& settings) {
    PreferenceChoices choices;
    choices.context_menu = settings.context > 1;
    choices.confirm = settings.confirm;
    choices.nocache = settings.nocache;
    choices.noutf8 = settings.noutf8;
    choices.verbose = settings.logging != 1;
    choices.autoclose = settings.autoclose;
    choices.types = settings.types;
    return choices;
}

bool applyPreferences(Core& core, const PreferenceChoices& choices, const std::string& program) {
    if (choices.types.size() < 3) {
        core.ShowMessage("Filetypes Required",
                         "Please enter at least one filetype. Multiple filetypes can be seperated "
                         "with semicolons.",
                         kIconInformation, 0);
        return false;
    }
    if (choices.nocache) {
        core.ShowMessage("Not Recommended",
                         "Disabling the cache is for troubleshooting only. The program will "
                         "operate a lot slower with no cache",
                         kIconWarning, 1);
    }

    Settings& settings = core.settings();
    // The entries of the old types go first: a type the user dropped keeps none.
    for (const std::string& type : shellEntryTypes(settings.types)) {
        if (type != "DIR") RemoveShellEntries(type);
    }
    settings.types = normaliseTypes(choices.types);
    modReg::SaveSettingString("types", settings.types);

    if (choices.context_menu) {
        addContextEntries(settings.types, program);
        settings.context = 2;
    } else {
        removeContextEntries(settings.types);
        settings.context = 1;
    }
    modReg::SaveSettingInt("context", settings.context);

    settings.confirm = choices.confirm;
    modReg::SaveSettingInt("confirm", choices.confirm ? 1 : 0);
    settings.nocache = choices.nocache;
    modReg::SaveSettingInt("nocache", choices.nocache ? 1 : 0);
    settings.noutf8 = choices.noutf8;
    modReg::SaveSettingInt("noutf8", choices.noutf8 ? 1 : 0);
    settings.logging = choices.verbose ? 2 : 1;
    modReg::SaveSettingInt("logging", settings.logging);
    settings.autoclose = choices.autoclose;
    modReg::SaveSettingInt("autoclose", choices.autoclose ? 1 : 0);
    return true;
}

void setConfirmOperations(Core& core, bool on) {
    core.settings().confirm = on;
    modReg::SaveSettingInt("confirm", on ? 1 : 0);
}

}  // namespace vantel
