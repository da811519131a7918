#pragma once
// Internals shared by the files of the user layer: the process-wide tables, the per-thread
// message queue and the window record. Nothing here is part of the public interface.
//
// Locking: one process-wide mutex (State::mutex) guards the window and class tables, the map of
// thread queues and the contents of every queue. Window procedures, timer procedures and pump
// hooks are never called with it held, so a procedure may call back into this layer freely.

#include "platform/user/user.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace vantel::user {

using Clock = std::chrono::steady_clock;

// A file descriptor closed on destruction.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release();
    void reset(int fd = -1);

  private:
    int m_fd = -1;
};

struct Queue;

// A SendMessage call from another thread, waiting in the receiver's queue. The sender blocks
// until `done` is set and then reads `result`.
struct SentCall {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
    std::shared_ptr<Queue> sender;
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    Clock::duration interval{};
    TIMERPROC proc = nullptr;
    Clock::time_point due{};
};

struct Posted {
    MSG msg;
    uint64_t seq;
};

// One thread's message queue. The owner thread waits on eventFd (signalled while anything is
// posted, sent or a quit is pending) and the host toolkit on readyFd, an epoll set over eventFd
// and timerFd (armed for the earliest timer).
struct Queue {
    DWORD threadId = 0;
    UniqueFd eventFd;
    UniqueFd timerFd;
    UniqueFd readyFd;

    // Everything below is guarded by State::mutex.
    std::deque<Posted> posted;
    uint64_t nextSeq = 1;
    std::deque<std::shared_ptr<SentCall>> sent;
    bool quitPending = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    UINT_PTR nextThreadTimerId = 1;
    bool signalled = false;
    bool timerArmed = false;
    Clock::time_point timerArmedFor{};
    bool dead = false;  // the owner thread has ended; nothing is delivered any more
};

struct Window {
    HWND handle = nullptr;
    uint64_t serial = 0;
    std::string className;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;
    std::shared_ptr<Queue> owner;
    bool destroying = false;
};

struct WindowClass {
    std::string name;
    WNDPROC proc = nullptr;
    ATOM atom = 0;
};

struct State {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows;
    std::unordered_map<DWORD, std::shared_ptr<Queue>> queues;
    std::vector<WindowClass> classes;
    ATOM nextAtom = 0xC000;
    uint64_t nextWindowSerial = 0x100;
};

// The process-wide state. Created on first use and never destroyed, so it outlives every
// thread's queue (the main thread's queue is retired during exit).
State& state();
std::unique_lock<std::mutex> lockState();

// Window handles carry a tag in their two low bits so that a handle naming a window of another
// process can be told apart without a lookup. The rest is a serial number that is never reused.
constexpr uintptr_t kHandleTagMask = 3;
constexpr uintptr_t kLocalHandleTag = 2;
constexpr uintptr_t kRemoteHandleTag = 3;
HWND makeLocalHandle(uint64_t serial);
bool isRemoteHandle(HWND hwnd);

// The calling thread's queue, created on first use; nullptr only when its descriptors cannot
// be created (out of file descriptors).
const std::shared_ptr<Queue>& currentQueue();
DWORD currentThreadId();

// Which messages a take or a wait looks at.
struct Filter {
    HWND hwnd = nullptr;  // nullptr: any; (HWND)-1: only messages without a window
    UINT min = 0;
    UINT max = 0;
    bool matches(HWND target, UINT message) const;
};

// Bounds a take to what was already waiting at some moment (DoEvents never runs messages
// posted while it runs, so a window that keeps posting to itself cannot hold it forever).
struct Limit {
    uint64_t maxSeq = UINT64_MAX;
    Clock::time_point timersDueBy = Clock::time_point::max();
};

// Queue internals; the Locked functions need State::mutex held.
Window* findWindowLocked(HWND hwnd);
bool postLocked(Queue& queue, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void signalLocked(Queue& queue);
void drainLocked(Queue& queue);
void syncReadyLocked(Queue& queue);
void completeSentLocked(SentCall& call, LRESULT result);
// Drops a window's posted messages and timers from its owner's queue.
void dropWindowLocked(Queue& queue, HWND hwnd);

// Runs every message other threads sent to this thread; returns how many ran.
int receiveSentMessages(Queue& queue);
// Takes the next message (sent messages first); never waits.
bool peekInternal(Queue& queue, MSG* msg, const Filter& filter, bool remove, const Limit& limit);
// Blocks until the queue's event descriptor is signalled or timeoutMs passes (-1: no limit).
void waitSignalled(const Queue& queue, int timeoutMs);
// Calls the procedure of a window of this process; 0 when the window is gone.
LRESULT callWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Timer internals (timer.cpp); all need State::mutex held.
bool takeTimerLocked(Queue& queue, const Filter& filter, Clock::time_point now,
                     Clock::time_point dueBy, bool remove, MSG* msg);
// Milliseconds until the earliest timer matching the filter falls due; -1 when none.
int timerWaitMsLocked(const Queue& queue, const Filter& filter, Clock::time_point now);
bool anyTimerDueLocked(const Queue& queue, Clock::time_point now);
void armTimerFdLocked(Queue& queue);
// timerFdCurrentLocked: whether the timer descriptor already shows what armTimerFdLocked would
// make it show (it would leave it as it is).
bool timerFdCurrentLocked(const Queue& queue);
TIMERPROC timerProcLocked(const Queue& queue, HWND hwnd, UINT_PTR id);

// The newest top-level window of this process with that class and caption (either may be
// nullptr), compared without regard to case.
HWND findLocalWindow(const char* className, const char* windowName);

// Windows of other processes of the same user (remote.cpp). This process publishes itself the
// first time it has a top-level window with a caption; the others reach it through a socket in
// the user's runtime folder.
void publishProcessWindows();
HWND findRemoteWindow(const char* className, const char* windowName);
bool remoteWindowAlive(HWND hwnd);
bool remoteWindowText(HWND hwnd, std::string& text);
DWORD remoteThreadProcessId(HWND hwnd, DWORD* processId);
// Only WM_COPYDATA crosses; its bytes are copied to the other process. 0 for anything else.
LRESULT sendRemoteMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Waits like SendMessage for a reply on `fd`, answering messages sent to this thread meanwhile.
bool waitReadableAnswering(int fd);

// Case-insensitive comparison of ASCII letters; other bytes compare exactly.
bool equalsNoCase(const std::string& a, const char* b);
std::string lowerAscii(const char* text);

// The per-user folder for state shared between this user's processes: $XDG_RUNTIME_DIR/vantel,
// else /tmp/vantel-<uid>. Created with mode 0700; empty when it cannot be made safe (not a
// folder, another owner, open to others).
std::string userRuntimeDir();

}  // namespace vantel::user
