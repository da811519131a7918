// Window classes and windows: creation, destruction, captions, procedures and the search by
// caption.

#include <cstring>

#include "platform/user/internal.h"

namespace vantel::user {

HWND makeLocalHandle(uint64_t serial) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(serial << 2) | kLocalHandleTag);
}

bool isRemoteHandle(HWND hwnd) {
    return (reinterpret_cast<uintptr_t>(hwnd) & kHandleTagMask) == kRemoteHandleTag;
}

bool equalsNoCase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
        if (x != y) return false;
    }
    return true;
}

std::string lowerAscii(const char* text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    }
    return out;
}

namespace {

// A class name given as an atom (MAKEINTATOM) is a small integer in the pointer.
bool isAtom(const char* name) {
    return reinterpret_cast<uintptr_t>(name) < 0x10000;
}

WindowClass* findClassLocked(const char* name) {
    auto& classes = state().classes;
    if (classes.empty()) {
        // The system classes a window may be made of without registering anything.
        for (const char* builtin : {"Static", "Message"}) {
            classes.push_back(WindowClass{builtin, DefWindowProcA, state().nextAtom++});
        }
    }
    for (auto& c : classes) {
        if (isAtom(name) ? c.atom == reinterpret_cast<uintptr_t>(name) : equalsNoCase(c.name, name))
            return &c;
    }
    return nullptr;
}

// A window of the calling thread that is not already being destroyed.
Window* ownWindowLocked(HWND hwnd, const std::shared_ptr<Queue>& q) {
    Window* w = findWindowLocked(hwnd);
    return w && !w->destroying && w->owner == q ? w : nullptr;
}

void removeWindow(HWND hwnd) {
    std::shared_ptr<Window> gone;
    auto lock = lockState();
    auto& windows = state().windows;
    auto it = windows.find(reinterpret_cast<uintptr_t>(hwnd));
    if (it == windows.end()) return;
    gone = std::move(it->second);
    windows.erase(it);
    // Children of other threads outlive their parent; they become top-level windows.
    for (auto& w : windows) {
        if (w.second->parent == hwnd) w.second->parent = nullptr;
    }
    dropWindowLocked(*gone->owner, hwnd);
}

}  // namespace

HWND findLocalWindow(const char* className, const char* windowName) {
    auto lock = lockState();
    if (className) {
        WindowClass* cls = findClassLocked(className);
        if (!cls) return nullptr;
        className = cls->name.c_str();
    }
    // The newest window wins, as the one on top would on a desktop.
    Window* best = nullptr;
    for (auto& [key, w] : state().windows) {
        if (w->parent || w->destroying) continue;
        if (className && !equalsNoCase(w->className, className)) continue;
        if (windowName && !equalsNoCase(w->text, windowName)) continue;
        if (!best || w->serial > best->serial) best = w.get();
    }
    return best ? best->handle : nullptr;
}

}  // namespace vantel::user

using namespace vantel::user;

ATOM RegisterClassA(const WNDCLASSA* wc) {
    if (!wc || !wc->lpszClassName || isAtom(wc->lpszClassName) || !*wc->lpszClassName ||
        !wc->lpfnWndProc)
        return 0;
    auto lock = lockState();
    if (WindowClass* c = findClassLocked(wc->lpszClassName)) {
        return c->proc == wc->lpfnWndProc ? c->atom : 0;
    }
    ATOM atom = state().nextAtom++;
    state().classes.push_back(WindowClass{wc->lpszClassName, wc->lpfnWndProc, atom});
    return atom;
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int,
                     int, int, int, HWND parent, HMENU, HINSTANCE, void* param) {
    const auto& q = currentQueue();
    if (!q || !className) return nullptr;
    HWND hwnd;
    {
        auto lock = lockState();
        WindowClass* cls = findClassLocked(className);
        if (!cls || (parent && !findWindowLocked(parent))) return nullptr;
        auto w = std::make_shared<Window>();
        w->serial = state().nextWindowSerial++;
        w->handle = hwnd = makeLocalHandle(w->serial);
        w->className = cls->name;
        w->text = windowName ? windowName : "";
        w->style = style;
        w->exStyle = exStyle;
        w->parent = parent;
        w->proc = cls->proc;
        w->owner = q;
        state().windows.emplace(reinterpret_cast<uintptr_t>(hwnd), std::move(w));
    }
    // Other processes of the user find top-level windows by caption.
    if (!parent && windowName && *windowName) publishProcessWindows();
    CREATESTRUCTA cs{param, parent, style, windowName, className, exStyle};
    if (!SendMessageA(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        callWindowProcedure(hwnd, WM_NCDESTROY, 0, 0);
        removeWindow(hwnd);
        return nullptr;
    }
    if (SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
    const auto& q = currentQueue();
    {
        auto lock = lockState();
        Window* w = ownWindowLocked(hwnd, q);
        if (!w) return FALSE;
        w->destroying = true;
    }
    // The window still counts as a window while it hears of its end, as its children do.
    callWindowProcedure(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        auto lock = lockState();
        for (auto& [key, w] : state().windows) {
            if (w->parent == hwnd && w->owner == q) children.push_back(w->handle);
        }
    }
    for (HWND child : children)
        DestroyWindow(child);
    callWindowProcedure(hwnd, WM_NCDESTROY, 0, 0);
    removeWindow(hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    if (!hwnd) return FALSE;
    if (isRemoteHandle(hwnd)) return remoteWindowAlive(hwnd) ? TRUE : FALSE;
    auto lock = lockState();
    return findWindowLocked(hwnd) ? TRUE : FALSE;
}

BOOL SetWindowTextA(HWND hwnd, const char* text) {
    bool publish;
    {
        auto lock = lockState();
        Window* w = findWindowLocked(hwnd);
        if (!w) return FALSE;
        w->text = text ? text : "";
        publish = !w->parent && !w->text.empty();
    }
    if (publish) publishProcessWindows();
    return TRUE;
}

int GetWindowTextA(HWND hwnd, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    std::string text;
    if (isRemoteHandle(hwnd)) {
        remoteWindowText(hwnd, text);
    } else {
        auto lock = lockState();
        if (Window* w = findWindowLocked(hwnd)) text = w->text;
    }
    size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    // Never cut a UTF-8 sequence in half: back up to the start of the character.
    if (n < text.size()) {
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
    auto lock = lockState();
    Window* w = findWindowLocked(hwnd);
    if (!w) return 0;
    switch (index) {
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(w->proc);
        case GWLP_USERDATA:
            return w->userData;
        default:
            return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    auto lock = lockState();
    Window* w = findWindowLocked(hwnd);
    if (!w) return 0;
    LONG_PTR previous = 0;
    switch (index) {
        case GWLP_WNDPROC:
            // A window without a procedure could never answer; refuse that.
            if (!value) return 0;
            previous = reinterpret_cast<LONG_PTR>(w->proc);
            w->proc = reinterpret_cast<WNDPROC>(value);
            break;
        case GWLP_USERDATA:
            previous = w->userData;
            w->userData = value;
            break;
        default:
            break;
    }
    return previous;
}

HWND GetParent(HWND hwnd) {
    auto lock = lockState();
    Window* w = findWindowLocked(hwnd);
    return w ? w->parent : nullptr;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    if (isRemoteHandle(hwnd)) return remoteThreadProcessId(hwnd, processId);
    auto lock = lockState();
    Window* w = findWindowLocked(hwnd);
    if (!w) return 0;
    if (processId) *processId = GetCurrentProcessId();
    return w->owner->threadId;
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_NCCREATE:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        default:
            return 0;
    }
}

HWND FindWindowA(const char* className, const char* windowName) {
    if (HWND local = findLocalWindow(className, windowName)) return local;
    // An atom names a class of this process only.
    if (className && isAtom(className)) return nullptr;
    return findRemoteWindow(className, windowName);
}
