#include "renamer/engine/handover.h"

#include "renamer/common/version.h"

#include <cstring>
#include <vector>

HandOver readHandOver(const COPYDATASTRUCT* data) {
    HandOver result;
    if (!data || data->dwData != kHandOverDataTag || data->cbData == 0 || !data->lpData)
        return result;
    // The sender counts its terminating zero in cbData; the text is what comes before it.
    std::string text(static_cast<const char*>(data->lpData), data->cbData - 1);
    text.resize(std::strlen(text.c_str()));
    if (text.compare(0, 3, "KQ|") != 0 || text.size() < 6) return result;
    const std::string kind = text.substr(3, 3);
    if (kind == "PI|") {
        result.kind = HandOverKind::Queue;
        result.command_line = text.size() > 8 ? text.substr(8) : std::string();
    } else if (kind == "UD|") {
        result.kind = HandOverKind::Quit;
    }
    return result;
}

std::string queueMessageText(const std::string& command_line) {
    return kHandOverQueuePrefix + command_line;
}

HWND findRunningInstance() {
    return FindWindowA(nullptr, mainCaption().c_str());
}

bool SendToRunningInstance(const std::string& text) {
    HWND first = findRunningInstance();
    if (!first) return false;
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    COPYDATASTRUCT data{};
    data.dwData = kHandOverDataTag;
    data.cbData = static_cast<DWORD>(buffer.size());
    data.lpData = buffer.data();
    SendMessageA(first, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    return true;
}
