#pragma once
// Windows, message queues and timers for code written against the Windows user interface.
//
// Each thread that uses a window or a queue gets one message queue, created on first use.
// A window has a window procedure and belongs to the thread that created it; messages posted to
// it wait in that thread's queue until the thread takes them with GetMessage or PeekMessage and
// hands them to DispatchMessage. SendMessage calls the procedure directly on the owner thread
// and waits for its result, also across threads. Timers post WM_TIMER when they fall due.
//
//   HWND w = CreateWindowExA(0, "Static", "Vantel 4.0", 0, 0, 0, 0, 0, nullptr, nullptr,
//                            nullptr, nullptr);
//   SetTimer(w, 1, 1500, nullptr);
//   MSG m;
//   while (GetMessageA(&m, nullptr, 0, 0) > 0) { TranslateMessage(&m); DispatchMessageA(&m); }
//
// A host toolkit (the Qt window) waits on GetQueueReadyFd() instead of blocking in GetMessage,
// and registers a pump hook that code waiting deep inside a call (a socket wait) calls to keep
// the user interface alive.
//
// When a thread ends, its queue goes and its windows with it (without further messages to them);
// a SendMessage still waiting on that thread returns 0.
//
// Text is UTF-8 throughout (the "A" forms of the Windows calls).

#include <cstddef>
#include <cstdint>

using BOOL = int;
using UINT = uint32_t;
using DWORD = uint32_t;
using ATOM = uint16_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using UINT_PTR = uintptr_t;
using ULONG_PTR = uintptr_t;
using LONG_PTR = intptr_t;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
struct HMENU__;
using HMENU = HMENU__*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;  // milliseconds of a monotonic clock when the message was posted
};

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    const char* lpszClassName;
};

struct CREATESTRUCTA {
    void* lpCreateParams;
    HWND hwndParent;
    DWORD style;
    const char* lpszName;
    const char* lpszClass;
    DWORD dwExStyle;
};

// Data of a WM_COPYDATA message: lParam points at one.
struct COPYDATASTRUCT {
    ULONG_PTR dwData;
    DWORD cbData;
    void* lpData;
};

struct POINT {
    long x;
    long y;
};
struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

// Message numbers with the Windows values.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_GETMINMAXINFO = 0x0024;
constexpr UINT WM_COPYDATA = 0x004A;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// PeekMessage options.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Window styles this layer keeps (it draws nothing; styles are stored and reported).
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_POPUP = 0x80000000;

// Indexes for GetWindowLongPtr / SetWindowLongPtr.
constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_USERDATA = -21;

// Registers a window class (procedure and name) for this process. Returns 0 when the name is
// empty or already registered with another procedure.
ATOM RegisterClassA(const WNDCLASSA* wc);

// Creates a window of a registered class, owned by the calling thread. Sends WM_NCCREATE and
// WM_CREATE (lParam: CREATESTRUCTA*) before it returns; a procedure that answers WM_NCCREATE with
// 0 or WM_CREATE with -1 fails the creation. Returns nullptr for an unknown class.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param);

// Destroys a window of the calling thread: sends WM_DESTROY then WM_NCDESTROY, drops its timers
// and its waiting messages. Child windows of the same thread go with it (each hears WM_DESTROY
// after its parent and WM_NCDESTROY before it). False for a handle that is not a window, belongs
// to another thread or is already being destroyed. A handle is never given to a new window.
BOOL DestroyWindow(HWND hwnd);

// True while hwnd names a live window (of any thread; of another process for a handle that
// FindWindowA returned for a window there, as long as that window lives).
BOOL IsWindow(HWND hwnd);

// Caption. SetWindowTextA fails on a window of another process. GetWindowTextA copies at most
// size-1 bytes and a NUL, never cutting a UTF-8 character in half; returns the byte count copied
// (0 and an empty buffer for a dead window).
BOOL SetWindowTextA(HWND hwnd, const char* text);
int GetWindowTextA(HWND hwnd, char* buffer, int size);

// The window procedure (GWLP_WNDPROC, replacing it subclasses the window) and one pointer-sized
// value for the owner's use (GWLP_USERDATA). Set returns the previous value, Get 0 on failure.
// Any thread of the process may read or set them; a null procedure is refused (Set returns 0).
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);

HWND GetParent(HWND hwnd);
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The default procedure: WM_NCCREATE answers TRUE (so creation goes on), WM_CLOSE destroys the
// window; everything else answers 0.
LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Finds a top-level window by caption (className may be nullptr); both compare without regard to
// case, and among windows of this process the newest wins. Windows of this process are searched
// first, then those of other processes of the same user that published themselves (a process
// does from its first top-level window with a caption on, through a socket in a folder only the
// user can enter). Returns nullptr when there is none.
HWND FindWindowA(const char* className, const char* windowName);

// Queues a message for the window's owner thread and returns at once. nullptr posts to the
// calling thread's queue (as PostThreadMessage to itself). False for a dead window, a window of
// another process, a thread without a queue, or a queue already holding 10000 messages.
BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageA(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);

// Calls the window procedure and returns its result. On the owner thread the call is direct;
// from another thread the message is handed to the owner, which runs it at its next
// GetMessage/PeekMessage/SendMessage, and the sender waits, still answering messages sent to its
// own thread meanwhile, so two threads sending to each other do not deadlock. WM_COPYDATA to a
// window of another process carries the COPYDATASTRUCT's bytes (at most 16 MiB) there and waits
// for the answer; the receiver sees wParam as a handle of the sender's window (or nullptr); no
// other message crosses processes. Returns 0 for a dead window, and when the owner thread ends
// before answering.
LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Takes the next message for the calling thread (hwnd filter: nullptr = any, (HWND)-1 = only
// messages without a window, else a window of the calling thread; min/max filter: 0,0 = any).
// Messages sent from other threads are delivered inside these calls first. Order: posted
// messages, then WM_QUIT once PostQuitMessage was called and nothing else is posted (WM_QUIT
// ignores both filters), then WM_TIMER for due timers. GetMessage waits; it returns 0 for
// WM_QUIT, -1 on a bad argument (no msg, a filter window that is not one of the thread's, also
// when it is destroyed during the wait), else nonzero. PeekMessage never waits; it returns FALSE
// when nothing matches or on a bad argument.
BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg);
BOOL TranslateMessage(const MSG* msg);  // no keyboard here: returns FALSE
// Calls the target window's procedure (or the TIMERPROC of a WM_TIMER whose lParam holds one)
// and returns its result; a message without a window, or for a window of another thread, is not
// dispatched (returns 0). The TIMERPROC is called only when it is the one the calling thread
// set for that timer, so a forged WM_TIMER cannot make it call an arbitrary address.
LRESULT DispatchMessageA(const MSG* msg);
// Waits until a message (or due timer) is available for the calling thread, or until it has
// answered a message sent from another thread.
BOOL WaitMessage();

void PostQuitMessage(int exitCode);

// Timers of a window of the calling thread (or of the thread itself when hwnd is nullptr, in
// which case the id is chosen unless it names a thread timer that exists). A timer posts
// WM_TIMER (wParam id, lParam the TIMERPROC) each time its interval elapses and no WM_TIMER for
// it is already waiting; intervals below 10 ms count as 10 ms. SetTimer on an existing id
// restarts it. Returns the id, 0 on failure (a window that is dead or of another thread).
// KillTimer returns FALSE for a timer the calling thread does not have.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Returns a message number in 0xC000..0xFFFF that is the same for the same name (case-
// insensitive) in every process of the user; 0 for an empty name. The numbers are kept in a
// table file in the user's runtime folder ($XDG_RUNTIME_DIR/vantel, else /tmp/vantel-<uid>,
// mode 0700), extended under a file lock; without a usable folder they are consistent within
// the process only.
UINT RegisterWindowMessageA(const char* name);

DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
DWORD GetTickCount();  // milliseconds of a monotonic clock

// Host integration.

// A file descriptor of the calling thread's queue that polls readable while a message waits
// or a timer is due (it may also poll readable spuriously; the host then finds nothing with
// PeekMessage). Owned by the queue; valid for the thread's life.
int GetQueueReadyFd();

// The pump hook: a host (the Qt window) registers a function that processes its own pending
// events. Code that waits for a long time on the GUI thread calls PumpHostEvents() between its
// slices. One hook per thread; nullptr removes it. A PumpHostEvents() made from inside the hook
// does nothing, so a host that ends up waiting inside its own event processing cannot recurse.
using PumpHook = void (*)(void* context);
void SetPumpHook(PumpHook hook, void* context);
void PumpHostEvents();

// Lets the calling thread's windows run: dispatches every message waiting when it is called
// (messages posted meanwhile wait for the next call; a WM_QUIT is posted again and ends the
// loop; a message without a window other than a WM_TIMER is posted back to the thread and ends
// the loop, so the thread's own loop still gets it), then calls the pump hook. The equivalent
// of a "DoEvents" call.
void DoEvents();
