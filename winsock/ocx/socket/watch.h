#pragma once
// The watch: how the socket layer tells the owner of a socket, by window message, that something
// happened on it. The platform posts the socket's network events to the owner's window as the
// private message kNetworkEventMessage; the layer subclasses that window, turns each network
// event into a notification (read only when something is really there, connect after recording
// the local end and running a secure handshake, ...) and sends the owner's notification message
// with wParam = socket, lParam = error << 16 | code.
//
//   watchSocket(handle, window, 2025, kNotifyAll);   // the socket is event-driven from now on
//   holdSocket(handle, true);                        // network events wait in the pending mask
//   holdSocket(handle, false);                       // ... and are posted again, in order
//   unwatchSocket(handle);                           // back to blocking calls
//
// While a notification is being delivered the socket is held, so a handler that pumps messages
// (a blocking Read inside its OnRead) never hears of the same socket again before it returns;
// what came meanwhile is posted again afterwards. Accept, connect and disconnect are delivered
// once each (accept again after rearmAccept). Everything runs on the socket's owner thread.

#include <cstdint>

#include "platform/user/user.h"
#include "winsock/ocx/socket/socket_record.h"
#include "winsock/ocx/socket/socket_table.h"

namespace kvlink {

// The platform's private message for the network events of watched sockets.
constexpr UINT kNetworkEventMessage = 9215;

// Notification codes (the low word of the notification's lParam), and the owner's masks.
constexpr long kNotifyAccept = 1;
constexpr long kNotifyConnect = 2;
constexpr long kNotifyDisconnect = 4;
constexpr long kNotifyRead = 8;
constexpr long kNotifyWrite = 16;
constexpr long kNotifyOutOfBand = 32;
constexpr long kNotifyProgress = 128;
constexpr long kNotifyAll = -1;
// Every code above write: a socket in blocking mode still hears of its transfer's progress.
constexpr long kNotifyAboveNetwork = -32;

// watchSocket starts the watch of handle: the owner's window, message and mask are recorded, and
// when the mask holds network events (1..16) the socket is registered with the platform (the
// window subclassed, the platform asked to post kNetworkEventMessage for "accept" on a listening
// socket, "read", "write", "connect" and "close" on any other). A null window stops the watch.
// False with the error in the error slot: 10038 / 10001 for the handle;
// wrErrorOperationNotSupported (12201) for a socket another part of the layer manages;
// wrErrorInvalidParameter (10014) for a window that is not one or a message below WM_USER; the
// network library's error when the platform refuses.
bool watchSocket(int32_t handle, HWND window, UINT message, long mask);

// watchNewSocket starts the watch of a socket just connected or accepted for its owner: every
// notification for an event-driven owner, only those above the network events (progress) for a
// blocking one; held from the start when hold is set. False with watchSocket's error.
bool watchNewSocket(int32_t handle, HWND window, UINT message, bool eventDriven, bool hold);

// unwatchSocket stops the watch: the platform's event selection is cancelled, the callbacks, the
// window, the message and the masks are cleared. False with 10038 / 10001 in the slot.
bool unwatchSocket(int32_t handle);

// holdSocket holds (true) or releases (false) the socket's notifications. Releasing a held
// socket posts its pending network events again in the order accept, connect, close, read,
// write, out-of-band. Nothing happens to a socket without a watch window; during a delivery the
// request takes effect when the delivery ends. False with 10038 / 10001 in the slot.
bool holdSocket(int32_t handle, bool hold);

// rearmAccept lets the next accept notification through, once the waiting connection was
// accepted or rejected. False with 10038 / 10001 in the slot.
bool rearmAccept(int32_t handle);

// setNotifyCallback fills the callback slot of one notification code (a single bit among the
// eight low ones); function nullptr empties it. False with 10014 for another code, or 10038 /
// 10001 for the handle.
bool setNotifyCallback(int32_t handle, long event, NotifyCallback function, void* user);

// repostBufferedRead posts a read event for an event-driven socket whose secure session or stream
// buffer still holds data while the socket itself has nothing waiting: the platform, which sees
// only the socket, would never announce that data. Does nothing otherwise.
void repostBufferedRead(const SocketRef& record);

// discardNetworkEvents drops the network events still queued for a socket that was just closed
// (the caller's thread owns the window): its number may be given to the next socket, which
// must not hear the old one's events.
void discardNetworkEvents(const SocketRecord& record);

// notifyProgress delivers the progress notification (a stream transfer moved data), by the
// owner's mask, even while the socket's network events are held (the hold stays). False with
// 10038 / 10001 in the slot.
bool notifyProgress(int32_t handle);

// setTransferProgress records a stream transfer's total and copied byte counts and its direction
// (wrStatusRead or wrStatusWrite; 0 when it ended). transferProgress reads the counts back, the
// total raised to the copied count when smaller; *openEnded (when given) tells whether a
// transfer runs whose total is not known (it goes until the peer closes). Both false with
// 10038 / 10001 in the slot.
bool setTransferProgress(int32_t handle, uint64_t total, uint64_t copied, int32_t direction);
bool transferProgress(int32_t handle, uint64_t* total, uint64_t* copied, bool* openEnded = nullptr);

// progressPercent: copied * 100 / total, truncated, at most 100; for a total of 0, 100 when
// nothing was copied and 0 otherwise.
int32_t progressPercent(uint64_t total, uint64_t copied);

}  // namespace kvlink
