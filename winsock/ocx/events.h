#pragma once
// CProxy_IWirranEvents: raises the control's events (_IWirranEvents) through its connection
// point. Every Fire_ call runs synchronously, through each connected sink's Invoke in connection
// order, on the calling (the control's) thread; what a sink returns is ignored. All arguments
// are passed by value as VT_I4 or VT_BSTR.
//
// OnCancel and OnTimeout belong to the interface, so hosts can connect handlers for them, but no
// operation of the control raises them: they have no Fire_ function.

#include <string_view>

#include "platform/com/connpt.h"

class CProxy_IWirranEvents {
  public:
    explicit CProxy_IWirranEvents(ConnectionPoint& point) : m_point(point) {}

    void Fire_OnAccept(LONG handle);
    void Fire_OnConnect();
    void Fire_OnDisconnect();
    // code is the bare 16-bit code; description the message text (UTF-8).
    void Fire_OnError(LONG code, std::string_view description);
    void Fire_OnRead();
    void Fire_OnTimer();
    void Fire_OnWrite();
    void Fire_OnProgress(LONG bytesTotal, LONG bytesCopied, LONG percent);

  private:
    ConnectionPoint& m_point;
};
