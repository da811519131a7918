#include "winsock/ocx/events.h"

#include "winsock/ocx/interface/iwirran.h"

void CProxy_IWirranEvents::Fire_OnAccept(LONG handle) {
    Variant args[] = {Variant(int32_t{handle})};
    m_point.fireInvoke(kOnAccept, args);
}

void CProxy_IWirranEvents::Fire_OnConnect() {
    m_point.fireInvoke(kOnConnect);
}

void CProxy_IWirranEvents::Fire_OnDisconnect() {
    m_point.fireInvoke(kOnDisconnect);
}

void CProxy_IWirranEvents::Fire_OnError(LONG code, std::string_view description) {
    Variant args[] = {Variant(int32_t{code}), Variant::fromUtf8(description)};
    m_point.fireInvoke(kOnError, args);
}

void CProxy_IWirranEvents::Fire_OnRead() {
    m_point.fireInvoke(kOnRead);
}

void CProxy_IWirranEvents::Fire_OnTimer() {
    m_point.fireInvoke(kOnTimer);
}

void CProxy_IWirranEvents::Fire_OnWrite() {
    m_point.fireInvoke(kOnWrite);
}

void CProxy_IWirranEvents::Fire_OnProgress(LONG bytesTotal, LONG bytesCopied, LONG percent) {
    Variant args[] = {Variant(int32_t{bytesTotal}), Variant(int32_t{bytesCopied}),
                      Variant(int32_t{percent})};
    m_point.fireInvoke(kOnProgress, args);
}
