// CWirran: creation and destruction.

#include "winsock/ocx/wirran.h"

#include "platform/com/activation.h"
#include "winsock/ocx/network_library.h"
#include "winsock/ocx/secure/socket_session.h"

ModuleLock& wirranModuleLock() {
    static ModuleLock lock;
    return lock;
}

CWirran::CWirran(IUnknown* outer) : WirranFrame(outer) {
    // Raised errors name the class by the ProgID its registration gives; an object created
    // without registration (linked in directly) uses the versioned ProgID it would have.
    std::string progId;
    if (FAILED(progIdFromClsid(CLSID_Wirran, &progId)) || progId.empty()) progId = kWirranProgId;
    m_errorSource = utf8ToUtf16(progId);
    // The socket layer runs secure connects through the secure channel. Installing it is
    // idempotent, so every control may do it.
    kvlink::setSecureProvider(&kvsecure::socketSecureProvider());
}

CWirran::~CWirran() {
    stopTimer();
    closeSocket();
    releaseCredentials();
    closeTrace();
    // The window goes before the frame does, so no message can reach a half-destroyed object.
    destroyWindow();
    if (m_initialized) {
        networkLibrary().stop();
        m_initialized = false;
    }
}

HRESULT CWirran::create(IUnknown* outer, REFIID riid, void** ppv) {
    return createComObject<CWirran>(outer, riid, ppv);
}
