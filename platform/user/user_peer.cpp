// A second process for the cross-process tests: owns one window with the caption given on the
// command line, says "ready" on its standard output and serves messages until told to quit.
//
// WM_COPYDATA "quit" ends it (answer 7); "echo" sends "pong" back to the sender's window and
// answers that reply + 1; any other text is answered with dwData * 100000 + the byte sum * 10,
// + 1 when the sender's window handle names a live window from here.

#include <cstdio>
#include <string>

#include "platform/user/user.h"

namespace {

LRESULT peerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_COPYDATA) return DefWindowProcA(hwnd, msg, wParam, lParam);
    auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    std::string text(static_cast<const char*>(cds->lpData), cds->cbData);
    auto sender = reinterpret_cast<HWND>(wParam);
    if (text == "quit") {
        PostQuitMessage(0);
        return 7;
    }
    if (text == "echo") {
        char pong[] = "pong";
        COPYDATASTRUCT back{1, 4, pong};
        return SendMessageA(sender, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&back)) + 1;
    }
    LRESULT sum = 0;
    for (unsigned char c : text)
        sum += c;
    return static_cast<LRESULT>(cds->dwData) * 100000 + sum * 10 + (IsWindow(sender) ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    WNDCLASSA wc{0, peerProc, "VantelPeerWindow"};
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, "VantelPeerWindow", argv[1], 0, 0, 0, 0, 0, nullptr, nullptr,
                             nullptr, nullptr);
    if (!w) return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0)
        DispatchMessageA(&m);
    DestroyWindow(w);
    return 0;
}
