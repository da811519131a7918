#pragma once
// CWirran: the Wirran control object. It implements IWirran (through IDispatch by its member
// table as well as through the vtable), keeps the control's per-instance state, reports errors
// the one way every member does (ReportError), and runs the library lifecycle (Initialize,
// Reset, Uninitialize). The ActiveX frame under it is WirranFrame (control_frame.h).
//
//   ComPtr<IWirran> wirran;
//   CWirran::create(nullptr, IID_IWirran, wirran.putVoid());
//   wirran->put_LastError(10060);
//   Bstr text;
//   wirran->get_LastErrorString(text.put());   // "The specified operation has timed out"
//
// The members are listed once (winsock/ocx/interface/wirran_members.h). The plain stored
// properties are generated (members_stored.cpp); the others are defined by area:
// members_info.cpp (informational and error members), members_lifecycle.cpp, members_stream.cpp,
// members_transfer.cpp, members_resolver.cpp, members_server.cpp, members_secure.cpp,
// members_timer.cpp, members_trace.cpp.
//
// Apartment-threaded: create, call and release the object on one thread, which must pump its
// messages for the timer.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "winsock/ocx/control_frame.h"
#include "winsock/ocx/events.h"
#include "winsock/ocx/interface/wirran_dispatch.h"

namespace kvsecure {
struct SecureConnectionInfo;
}

// The module's count of live objects and LockServer calls, for DllCanUnloadNow.
ModuleLock& wirranModuleLock();

class CWirran final : public WirranFrame {
  public:
    explicit CWirran(IUnknown* outer);
    ~CWirran() override;

    // The class factory's creator: an aggregatable object (an outer object must ask for
    // IID_IUnknown), E_POINTER for null ppv, E_NOINTERFACE for an interface it lacks.
    static HRESULT create(IUnknown* outer, REFIID riid, void** ppv);

    // IDispatch, from the member table (wirran_dispatch.h). GetTypeInfoCount answers 1 and
    // GetTypeInfo(0) IWirran's type (type_library.h); another index is DISP_E_BADINDEX.
    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                          DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) override;

    // IWirran, in slot order (the member list, wirran_members.h). The STORED accessors are
    // defined in members_stored.cpp, the others in the members_*.cpp file of their area.
#define WIRRAN_SLOT_PREFIX
#define WIRRAN_SLOT_SUFFIX override;
    WIRRAN_DECLARE_MEMBERS()
#undef WIRRAN_SLOT_PREFIX
#undef WIRRAN_SLOT_SUFFIX

    // ReportError ends every member that fails after its arguments were accepted. code is an
    // error in HRESULT form, or 0 for the socket layer's current error (nothing happens and S_OK
    // comes back when that is 0 too). It stores the code as LastError, makes an error object
    // with the text the thread's error information, raises OnError when fireFlag is set, and
    // returns S_OK when returnFlag is clear; otherwise 0x800A0000 | code for a code of facility 4
    // and any other code unchanged. *reported (when given) receives the code it stored.
    HRESULT ReportError(uint32_t code, bool returnFlag, bool fireFlag,
                        uint32_t* reported = nullptr);

  private:
    // What a failing method writes into its [out, retval] VARIANT.
    enum class ResultKind {
        ErrorCode,  // the bare 16-bit code (Error results)
        Count,      // -1 (byte counts of data transfers)
        Flag,       // VARIANT_FALSE (BOOL results of line, byte and stream transfers)
    };

    // Every value that Reset restores, with its creation and Reset value. Values Reset keeps
    // are members of CWirran itself.
    struct ResetState {
        LONG adapterCount = 0;
        std::vector<uint32_t> adapterAddresses;  // the adapter cache, up to 64 addresses
        VARIANT_BOOL autoResolve = VARIANT_FALSE;
        LONG backlog = 5;
        VARIANT_BOOL blocking = VARIANT_TRUE;
        VARIANT_BOOL broadcast = VARIANT_FALSE;
        LONG byteOrder = wrLocalByteOrder;
        Bstr hostAddress;
        std::vector<std::string> hostAliases;  // the alias list of the last resolved host
        Bstr hostName;
        VARIANT_BOOL inLine = VARIANT_FALSE;
        LONG interval = 0;
        bool timerGuard = false;  // an OnTimer handler is running
        VARIANT_BOOL keepAlive = VARIANT_FALSE;
        uint32_t lastError = 0;  // HRESULT form
        Bstr libraryPath;
        LONG linger = 0;
        uint32_t localAddress = 0;  // IPv4, network byte order
        LONG localPort = 0;
        LONG boundPort = 0;  // a stream Bind's local port, for the next Connect
        VARIANT_BOOL noDelay = VARIANT_FALSE;
        LONG protocol = wrProtocolTcp;
        LONG remotePort = 0;
        VARIANT_BOOL reservedPort = VARIANT_FALSE;
        VARIANT_BOOL reuseAddress = VARIANT_TRUE;
        VARIANT_BOOL route = VARIANT_TRUE;
        VARIANT_BOOL secure = VARIANT_FALSE;
        LONG secureProtocol = 0;
        VARIANT_BOOL throwError = VARIANT_FALSE;
        LONG timeout = 0;
        UINT_PTR timerId = 0;
        HWND timerWindow = nullptr;
        VARIANT_BOOL trace = VARIANT_FALSE;
        Bstr traceFile;
        LONG traceFlags = 0;
        VARIANT_BOOL urgent = VARIANT_FALSE;
    };

    // The window's messages and the host's event freezing (WirranFrame).
    void onTimer(UINT_PTR id) override;
    void onSocketNotification(WPARAM socket, LPARAM event) override;
    void onFreezeEvents(bool frozen) override;

    // designModeGet is CTL_E_GETNOTSUPPORTED while the container is in design mode (every get
    // but Enabled and Window starts with it), S_OK otherwise.
    HRESULT designModeGet() const;
    // getValue and getString are the body of a plain get: E_POINTER for a null pVal, the
    // design-mode failure, else the value (a copy of the string).
    template <class T>
    HRESULT getValue(T* pVal, const T& value) const {
        if (!pVal) return E_POINTER;
        if (HRESULT hr = designModeGet(); FAILED(hr)) return hr;
        *pVal = value;
        return S_OK;
    }
    HRESULT getString(BSTR* pVal, const Bstr& value) const;
    HRESULT getValue(BSTR* pVal, const Bstr& value) const {
        return getString(pVal, value);
    }
    // store is the body of a plain put: the value as it is, a BOOL reduced, a copy of a string.
    static void store(VARIANT_BOOL& field, VARIANT_BOOL value) {
        field = asBool(value);
    }
    static void store(LONG& field, LONG value) {
        field = value;
    }
    static void store(Bstr& field, BSTR value) {
        field = Bstr(bstrView(value));
    }
    // asBool reduces any BOOL to VARIANT_TRUE or VARIANT_FALSE.
    static VARIANT_BOOL asBool(VARIANT_BOOL value) {
        return value ? VARIANT_TRUE : VARIANT_FALSE;
    }

    // writeFailure stores a failing method's result: the bare code, -1 or FALSE.
    static void writeFailure(VARIANT* result, ResultKind kind, uint32_t code);
    // failMethod reports code for a method (return flag ThrowError, fire flag set) and writes
    // the method's failure result.
    HRESULT failMethod(VARIANT* result, uint32_t code, ResultKind kind);
    // failTransfer reports the socket layer's error for a transfer member (as failMethod); an
    // abort during the transfer has closed the socket, so the control lets go of its handle.
    HRESULT failTransfer(VARIANT* result, ResultKind kind);
    // failProperty reports code for a property member: always the error HRESULT, no OnError.
    HRESULT failProperty(uint32_t code);
    // initFailure ends a method whose library start failed (ensureInitialized's HRESULT): the
    // result holds the failure, the call fails only with ThrowError (or in design mode).
    HRESULT initFailure(HRESULT hr, VARIANT* result, ResultKind kind);

    // ensureInitialized starts the network library once per control (Initialize, and every
    // member that needs the library). S_OK when started; CTL_E_ILLEGALFUNCTIONCALL in design
    // mode; else the reported failure (ReportError with the return flag set, no OnError).
    HRESULT ensureInitialized(const std::string& moduleName = {});

    // libraryGet starts a get that needs the network library: E_POINTER for a null pVal, the
    // design-mode failure, or the start's failure; S_OK to go on.
    HRESULT libraryGet(const void* pVal);

    bool hasSocket() const {
        return m_socket != wrInvalidSocket;
    }
    // optionWord builds Connect's option word from the option properties.
    uint32_t optionWord() const;
    // putOption is the put of an option property: on an open socket the option of bit is set
    // first (a refusal is reported, with the return flag set, and field keeps its value).
    HRESULT putOption(uint32_t bit, VARIANT_BOOL& field, VARIANT_BOOL value);
    void stopTimer();
    // closeSocket closes the control's socket with the Linger time (members_stream.cpp).
    void closeSocket();
    void releaseCredentials();
    // secureInfo is the start of a get of the security information: the design-mode failure,
    // else the secure session of the control's socket in *info (zero and empty without a socket
    // or a session), or the failure to find the socket (failProperty).
    HRESULT secureInfo(kvsecure::SecureConnectionInfo* info);
    // secureNumber, secureText: a get of one field of that information, with its failures.
    HRESULT secureNumber(LONG* pVal, int kvsecure::SecureConnectionInfo::*field);
    HRESULT secureText(BSTR* pVal, std::string kvsecure::SecureConnectionInfo::*field);
    // refreshAdapters fills the adapter cache from the resolver. On failure the count becomes 0
    // and the failure is reported (failProperty).
    HRESULT refreshAdapters();
    bool openTrace();
    void closeTrace();

    // The socket layer's side of a member that needs a socket, a resolver or a secure channel
    // The side of a member whose behaviour is still to come (a PENDING member of the member
    // list): reported as wrErrorNotImplemented (12003) the way the member reports its failures.
    // Each call marks where that behaviour goes.
    HRESULT socketLayerMethod(VARIANT* result, ResultKind kind, bool fire = true);
    // socketMethod is the body of a method that acts on the control's socket: E_POINTER for a
    // null result; without a socket the failure of a socket operation on no socket (10057 on
    // TCP); with one, socketLayerMethod.
    HRESULT socketMethod(VARIANT* result, ResultKind kind);
    // libraryMethod is the body of a method that starts the network library first: E_POINTER,
    // the start's failure (initFailure), then socketLayerMethod.
    HRESULT libraryMethod(VARIANT* result, ResultKind kind);
    HRESULT socketLayerProperty();
    // socketLayerGet is socketLayerProperty for a get: the design-mode failure comes first.
    HRESULT socketLayerGet();

    ModuleLockRef m_lock{wirranModuleLock()};
    CProxy_IWirranEvents m_fire{m_events};

    // State that Reset keeps (the socket handle Reset closes).
    VARIANT_BOOL m_enabled = VARIANT_TRUE;
    LONG m_socket = wrInvalidSocket;
    std::u16string m_errorSource;
    Bstr m_certificateName;
    Bstr m_certificateStore;
    bool m_initialized = false;
    LONG m_maxDatagram = 0;
    LONG m_maxSockets = 0;
    Bstr m_winsockVendor;
    Bstr m_winsockVersion;
    bool m_traceOpen = false;
    // A connection completed while the host had frozen events: OnConnect is raised at the thaw.
    bool m_connectOwed = false;

    ResetState m_state;
};
