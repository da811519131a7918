// The watch: starting and stopping it, the subclass procedure that turns the platform's network
// events into notifications, delivery, and holding and releasing.

#include "winsock/ocx/socket/watch.h"

#include <map>
#include <mutex>
#include <vector>

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/socket/blocking_wait.h"
#include "winsock/ocx/socket/connect.h"
#include "winsock/ocx/socket/secure_provider.h"
#include "winsock/ocx/socket/socket_table.h"

namespace kvlink {
namespace {

constexpr long kNetworkCodes =
    kNotifyAccept | kNotifyConnect | kNotifyDisconnect | kNotifyRead | kNotifyWrite;
constexpr long kOnceCodes = kNotifyAccept | kNotifyConnect | kNotifyDisconnect;

// The order in which held network events are posted again.
constexpr long kRepostOrder[] = {FD_ACCEPT, FD_CONNECT, FD_CLOSE, FD_READ, FD_WRITE, FD_OOB};

// One subclass record per window: the procedure it had before the layer subclassed it.
std::mutex& subclassLock() {
    static auto* lock = new std::mutex();
    return *lock;
}
std::map<HWND, WNDPROC>& subclasses() {
    static auto* map = new std::map<HWND, WNDPROC>();
    return *map;
}

WNDPROC previousProcedure(HWND window) {
    std::lock_guard lock(subclassLock());
    auto it = subclasses().find(window);
    return it == subclasses().end() ? nullptr : it->second;
}

LRESULT watchProcedure(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

void subclass(HWND window) {
    std::lock_guard lock(subclassLock());
    if (subclasses().count(window)) return;
    auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&watchProcedure)));
    if (previous) subclasses()[window] = previous;
}

int slotOf(long event) {
    for (int i = 0; i < kNotifyCallbackSlots; ++i)
        if (event == (1L << i)) return i;
    return -1;
}

// Every record of the table watched through window (the caller is the window's thread).
std::vector<SocketRef> watchedThrough(HWND window) {
    std::vector<SocketRef> found;
    for (int32_t handle : socketHandles()) {
        SocketRef record = findSocket(handle);
        if (record && (record->networkWindow == window || record->notifyWindow == window))
            found.push_back(record);
    }
    return found;
}

void stopWatch(SocketRecord& record) {
    if (record.networkWindow) {
        networkLibrary().WSAAsyncSelect(static_cast<SOCKET>(record.handle), nullptr, 0, 0);
    }
    for (NotifyCallbackSlot& slot : record.callbacks)
        slot = NotifyCallbackSlot{};
    record.networkWindow = nullptr;
    record.networkMessage = 0;
    record.notifyWindow = nullptr;
    record.notifyMessage = 0;
    record.eventMask = 0;
    record.deliveredOnce = 0;
    record.pendingEvents = 0;
    record.held = false;
    record.holdAfterDispatch = -1;
}

// Holding and releasing, with the request made during a delivery kept for its end.
void setHeld(const SocketRef& record, bool hold) {
    if (!record->notifyWindow) return;
    if (record->dispatching) {
        record->holdAfterDispatch = hold ? 1 : 0;
        return;
    }
    if (record->held && !hold) {
        long pending = record->pendingEvents;
        record->pendingEvents = 0;
        // A socket closed meanwhile has nothing left to hear.
        if (record->networkWindow && findSocket(record->handle) == record) {
            for (long event : kRepostOrder) {
                if (pending & event)
                    PostMessageA(record->networkWindow, record->networkMessage,
                                 static_cast<WPARAM>(record->handle),
                                 WSAMAKESELECTREPLY(static_cast<unsigned>(event), 0));
            }
        }
    }
    record->held = hold;
}

void deliver(const SocketRef& record, long event, uint32_t error) {
    if (record->held) return;
    if ((event & kOnceCodes) && (record->deliveredOnce & event)) return;
    if (!(record->eventMask & event)) return;
    // A handler may close the socket and drop the table's reference: keep the record alive.
    SocketRef keep = record;
    record->held = true;
    record->dispatching = true;
    if (event & kOnceCodes) record->deliveredOnce |= event;
    SetSocketError(SocketErrorHresult(error));
    int slot = slotOf(event);
    if (slot >= 0 && record->callbacks[slot].function)
        record->callbacks[slot].function(record->handle, event, error,
                                         record->callbacks[slot].user);
    if (record->notifyWindow)
        SendMessageA(record->notifyWindow, record->notifyMessage,
                     static_cast<WPARAM>(record->handle),
                     static_cast<LPARAM>((static_cast<uint32_t>(error) << 16) |
                                         static_cast<uint32_t>(event)));
    record->dispatching = false;
    bool stayHeld = record->holdAfterDispatch == 1;
    record->holdAfterDispatch = -1;
    if (!stayHeld) setHeld(record, false);
}

// Whether a read notification has something behind it.
bool somethingToRead(const SocketRecord& record) {
    if (!record.stream()) return true;
    if (record.secure && record.secure->hasBufferedInput()) return true;
    if (record.streamBuffer && record.streamBuffer->unread > 0) return true;
    u_long waiting = 0;
    if (networkLibrary().ioctlsocket(static_cast<SOCKET>(record.handle), FIONREAD, &waiting) != 0)
        return false;
    return waiting > 0;
}

void readLocalEnd(SocketRecord& record) {
    sockaddr_in local{};
    int size = sizeof local;
    NetworkLibrary& net = networkLibrary();
    if (net.getsockname(static_cast<SOCKET>(record.handle), reinterpret_cast<sockaddr*>(&local),
                        &size) == 0) {
        record.localAddress = local.sin_addr.s_addr;
        record.localPort = net.ntohs(local.sin_port);
    }
}

// The connection completed (or failed): the local end, the secure handshake, then the
// notification; a failed connection is closed after its owner heard of it.
void connectCompleted(const SocketRef& record, uint32_t error) {
    readLocalEnd(*record);
    std::shared_ptr<const ConnectRequest> request = std::move(record->pendingConnect);
    if (error == 0 && record->stream() && (record->options & wrOptionSecure) && request) {
        // The handshake waits and pumps; what the server sends meanwhile is not the owner's yet.
        bool wasHeld = record->held;
        record->held = true;
        const SecureProvider* provider = secureProvider();
        uint32_t failure = provider ? provider->handshake(*record, *request)
                                    : static_cast<uint32_t>(wrErrorSecurityNotInitialized);
        // A certificate that failed the check still gives a channel; the owner reads its status.
        if (failure != 0 && failure != wrErrorSecurityCertificate) error = failure;
        record->held = wasHeld;
    }
    if (error == 0) {
        std::lock_guard lock(socketTableLock());
        record->connected = true;
        record->status = wrStatusIdle;
    }
    deliver(record, kNotifyConnect, error);
    if (error != 0) dropRecord(record, -1);
}

void networkEvent(const SocketRef& record, unsigned event, uint32_t error) {
    if (record->held) {
        record->pendingEvents |= static_cast<long>(event);
        return;
    }
    if (error != 0) SetSocketError(SocketErrorHresult(error));
    switch (event) {
        case FD_READ:
            if (error == 0 && somethingToRead(*record)) deliver(record, kNotifyRead, 0);
            break;
        case FD_WRITE:
            deliver(record, kNotifyWrite, error);
            break;
        case FD_ACCEPT:
            // The waiting peer's address is taken when it is accepted; the notification goes
            // out at once.
            deliver(record, kNotifyAccept, error);
            break;
        case FD_CONNECT:
            connectCompleted(record, error);
            break;
        case FD_CLOSE:
            if (!record->listening) deliver(record, kNotifyDisconnect, error);
            break;
        default:
            break;
    }
}

LRESULT watchProcedure(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC previous = previousProcedure(window);
    if (msg == WM_DESTROY) {
        // The sockets watched through the window are released from it before it goes.
        for (const SocketRef& record : watchedThrough(window))
            stopWatch(*record);
    } else if (msg == WM_NCDESTROY) {
        std::lock_guard lock(subclassLock());
        subclasses().erase(window);
    } else if (msg == kNetworkEventMessage) {
        uint32_t error = SocketError();
        SocketRef record = findSocket(static_cast<int32_t>(wParam));
        if (record && record->networkWindow == window && record->networkMessage == msg) {
            networkEvent(record, WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
        } else {
            // A message for a socket closed meanwhile is no one's failure.
            SetSocketError(error);
        }
    }
    return previous ? CallWindowProcA(previous, window, msg, wParam, lParam)
                    : DefWindowProcA(window, msg, wParam, lParam);
}

}  // namespace

bool watchSocket(int32_t handle, HWND window, UINT message, long mask) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    if (!window) {
        stopWatch(*record);
        return true;
    }
    if (record->managedElsewhere) return failedWith(wrErrorOperationNotSupported);
    if (!IsWindow(window) || message < WM_USER) return failedWith(wrErrorInvalidParameter);
    record->notifyWindow = window;
    record->notifyMessage = message;
    record->eventMask = mask;
    if (!record->networkWindow && (mask & kNetworkCodes)) {
        subclass(window);
        long events = record->listening ? FD_ACCEPT : (FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE);
        if (networkLibrary().WSAAsyncSelect(static_cast<SOCKET>(handle), window,
                                            kNetworkEventMessage, events) != 0) {
            uint32_t error = static_cast<uint32_t>(networkLibrary().getLastError());
            stopWatch(*record);
            return failedWith(error);
        }
        record->networkWindow = window;
        record->networkMessage = kNetworkEventMessage;
    }
    return true;
}

bool unwatchSocket(int32_t handle) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    stopWatch(*record);
    return true;
}

bool watchNewSocket(int32_t handle, HWND window, UINT message, bool eventDriven, bool hold) {
    if (!watchSocket(handle, window, message, eventDriven ? kNotifyAll : kNotifyAboveNetwork))
        return false;
    if (hold) holdSocket(handle, true);
    return true;
}

bool holdSocket(int32_t handle, bool hold) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    setHeld(record, hold);
    return true;
}

bool rearmAccept(int32_t handle) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    record->deliveredOnce &= ~kNotifyAccept;
    return true;
}

bool setNotifyCallback(int32_t handle, long event, NotifyCallback function, void* user) {
    int slot = slotOf(event);
    if (slot < 0) return failedWith(wrErrorInvalidParameter);
    SocketRef record = findSocket(handle);
    if (!record) return false;
    record->callbacks[slot] = NotifyCallbackSlot{function, user};
    return true;
}

void repostBufferedRead(const SocketRef& record) {
    bool secureHolds = record->secure && record->secure->hasBufferedInput();
    bool bufferHolds = record->streamBuffer && record->streamBuffer->unread > 0;
    if (!record->networkWindow || !(secureHolds || bufferHolds)) return;
    u_long waiting = 0;
    networkLibrary().ioctlsocket(static_cast<SOCKET>(record->handle), FIONREAD, &waiting);
    if (waiting > 0) return;  // the platform announces those bytes itself
    PostMessageA(record->networkWindow, record->networkMessage, static_cast<WPARAM>(record->handle),
                 WSAMAKESELECTREPLY(FD_READ, 0));
}

void discardNetworkEvents(const SocketRecord& record) {
    if (!record.networkWindow) return;
    std::vector<MSG> others;
    MSG msg;
    while (PeekMessageA(&msg, record.networkWindow, kNetworkEventMessage, kNetworkEventMessage,
                        PM_REMOVE)) {
        if (msg.wParam != static_cast<WPARAM>(record.handle)) others.push_back(msg);
    }
    // The other sockets' events go back, in their order.
    for (const MSG& kept : others)
        PostMessageA(kept.hwnd, kept.message, kept.wParam, kept.lParam);
}

bool notifyProgress(int32_t handle) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    // Progress is no network event: a transfer holds the socket's network events while it runs
    // and still reports its progress, also from inside a handler. The hold and a delivery in
    // progress stay as they were.
    bool wasHeld = record->held;
    bool wasDispatching = record->dispatching;
    if (!wasHeld && !wasDispatching) {
        deliver(record, kNotifyProgress, 0);
        return true;
    }
    int request = record->holdAfterDispatch;
    record->held = false;
    record->holdAfterDispatch = wasHeld ? 1 : -1;
    deliver(record, kNotifyProgress, 0);
    record->dispatching = wasDispatching;
    record->holdAfterDispatch = request;
    record->held = wasHeld;
    return true;
}

bool setTransferProgress(int32_t handle, uint64_t total, uint64_t copied, int32_t direction) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    std::lock_guard lock(socketTableLock());
    record->transferTotal = total;
    record->transferCopied = copied;
    record->transferStatus = direction;
    return true;
}

bool transferProgress(int32_t handle, uint64_t* total, uint64_t* copied, bool* openEnded) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    std::lock_guard lock(socketTableLock());
    if (openEnded) *openEnded = record->transferStatus != 0 && record->transferTotal == 0;
    *copied = record->transferCopied;
    *total = record->transferTotal < *copied ? *copied : record->transferTotal;
    return true;
}

int32_t progressPercent(uint64_t total, uint64_t copied) {
    if (total == 0) return copied == 0 ? 100 : 0;
    if (copied >= total) return 100;
    // Wide enough that copied * 100 cannot overflow for any 64-bit count.
    __extension__ using Wide = unsigned __int128;
    return static_cast<int32_t>(static_cast<Wide>(copied) * 100 / total);
}

}  // namespace kvlink
