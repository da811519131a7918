#pragma once
// Helpers for the user layer's tests: a window class whose procedure records what it is sent.

#include <map>
#include <mutex>
#include <ostream>
#include <utility>
#include <vector>

#include "platform/user/user.h"

namespace vantel::user::test {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    bool operator==(const Seen&) const = default;
    friend std::ostream& operator<<(std::ostream& os, const Seen& s) {
        return os << "{" << s.hwnd << ", 0x" << std::hex << s.message << std::dec << ", "
                  << s.wParam << "}";
    }
};

// What a recording window heard, and what it answers. Shared by all windows created with it.
struct Recorder {
    std::mutex mutex;
    std::vector<Seen> seen;
    std::map<UINT, LRESULT> answers;  // messages answered with something other than the default

    std::vector<Seen> take() {
        std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(seen, {});
    }
    std::vector<UINT> messages() {
        std::vector<UINT> out;
        for (const auto& s : take())
            out.push_back(s.message);
        return out;
    }
};

inline LRESULT recordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* r = reinterpret_cast<Recorder*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (r) {
        std::lock_guard<std::mutex> lock(r->mutex);
        r->seen.push_back(Seen{hwnd, msg, wParam});
        auto it = r->answers.find(msg);
        if (it != r->answers.end()) return it->second;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

constexpr const char* kRecordingClass = "VantelRecordingWindow";

inline HWND makeWindow(Recorder* recorder, const char* caption = "", HWND parent = nullptr) {
    static ATOM atom = [] {
        WNDCLASSA wc{0, recordingProc, kRecordingClass};
        return RegisterClassA(&wc);
    }();
    (void)atom;
    return CreateWindowExA(0, kRecordingClass, caption, 0, 0, 0, 0, 0, parent, nullptr, nullptr,
                           recorder);
}

}  // namespace vantel::user::test
