// The socket's notifications and the host's event freezing: the notification message from the
// socket layer (wParam the socket, lParam error << 16 | code) becomes OnAccept, OnConnect,
// OnDisconnect, OnRead, OnWrite, OnProgress or, with an error, OnError; freezing the control's
// events holds the socket's notifications, and thawing releases what came meanwhile.

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/socket/watch.h"
#include "winsock/ocx/wirran.h"

void CWirran::onSocketNotification(WPARAM socket, LPARAM lParam) {
    // A handler may release the host's last reference; the object must outlive the event.
    ComPtr<IUnknown> keep(controllingUnknown());
    auto handle = static_cast<LONG>(socket);
    auto bits = static_cast<uint32_t>(lParam);
    uint32_t event = bits & 0xFFFFu;
    uint32_t error = bits >> 16;
    if (error != 0) {
        // A connection that failed is closed before the host hears why, so Handle reads -1 in
        // its OnError handler.
        if (event == kvlink::kNotifyConnect && handle == m_socket) closeSocket();
        ReportError(SocketErrorHresult(error), false, true);
        return;
    }
    switch (event) {
        case kvlink::kNotifyAccept:
            m_fire.Fire_OnAccept(handle);
            break;
        case kvlink::kNotifyConnect:
            // The security information is read from the socket's session by its members.
            m_socket = handle;
            if (eventsFrozen()) {
                m_connectOwed = true;
                kvlink::holdSocket(handle, true);
            } else {
                m_fire.Fire_OnConnect();
            }
            break;
        case kvlink::kNotifyDisconnect:
            m_fire.Fire_OnDisconnect();
            break;
        case kvlink::kNotifyRead:
            m_fire.Fire_OnRead();
            break;
        case kvlink::kNotifyWrite:
            m_fire.Fire_OnWrite();
            break;
        case kvlink::kNotifyProgress: {
            uint64_t total = 0, copied = 0;
            bool openEnded = false;
            if (!kvlink::transferProgress(handle, &total, &copied, &openEnded)) break;
            auto clamp = [](uint64_t n) {
                return static_cast<LONG>(n > INT32_MAX ? INT32_MAX : n);
            };
            // A transfer that runs until the peer closes is at 0 percent until it ends: only
            // then is its total known.
            m_fire.Fire_OnProgress(clamp(total), clamp(copied),
                                   openEnded ? 0 : kvlink::progressPercent(total, copied));
            break;
        }
        default:
            break;
    }
}

void CWirran::onFreezeEvents(bool frozen) {
    if (!hasSocket()) return;
    if (frozen) {
        kvlink::holdSocket(m_socket, true);
        return;
    }
    ComPtr<IUnknown> keep(controllingUnknown());
    // The connection came first; what arrived after it is posted again by the release.
    if (m_connectOwed) {
        m_connectOwed = false;
        m_fire.Fire_OnConnect();
    }
    if (hasSocket()) kvlink::holdSocket(m_socket, false);
}
