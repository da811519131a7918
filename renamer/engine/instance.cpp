#include "renamer/engine/instance.h"

#include "renamer/common/version.h"

namespace vantel {

HWND findRunningInstance() {
    return FindWindowA(nullptr, mainCaption().c_str());
}

bool SendToRunningInstance(const std::string& text, HWND sender) {
    HWND running = findRunningInstance();
    if (!running) return false;
    // The text travels whole, with its zero byte: a command line longer than the 255 bytes a
    // fixed buffer would hold is not cut, and the receiver reads it by the same rules.
    std::string buffer = text;
    buffer.push_back('\0');
    COPYDATASTRUCT data{};
    data.dwData = kInstanceMessageData;
    data.cbData = static_cast<DWORD>(buffer.size());
    data.lpData = buffer.data();
    SendMessageA(running, WM_COPYDATA, reinterpret_cast<WPARAM>(sender),
                 reinterpret_cast<LPARAM>(&data));
    return true;
}

std::optional<std::string> instanceMessageText(const COPYDATASTRUCT* data) {
    if (!data || data->dwData != kInstanceMessageData) return std::nullopt;
    if (data->cbData == 0 || !data->lpData) return std::string();
    std::string text(static_cast<const char*>(data->lpData), data->cbData - 1);
    return text;
}

bool actOnInstanceMessage(Core& core, const std::string& text) {
    if (text.compare(0, 3, "KQ|") != 0 || text.size() < 6) return false;
    const std::string kind = text.substr(3, 3);
    if (kind == "PI|") {
        core.add_to_queue(text.size() > 8 ? text.substr(8) : std::string(), true);
        return true;
    }
    if (kind == "UD|") {
        if (core.queryUnload()) core.unloadMainWindow();
        return true;
    }
    return false;
}

}  // namespace vantel
