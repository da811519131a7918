#pragma once
// The control's programmatic contract: the identifiers of the class, its dual interface IWirran,
// its event interface and type library; IWirran itself with its members in vtable order; the
// events with their dispatch identifiers; the enumerations and string constants hosts use.
//
//   ComPtr<IWirran> wirran;
//   CoCreateInstance(CLSID_Wirran, nullptr, CLSCTX_INPROC_SERVER, IID_IWirran, wirran.putVoid());
//   wirran->put_Timeout(4);
//   Variant error;
//   wirran->Connect(Variant::fromUtf8("example.org"), Variant(int32_t{wrPortHttp}), ..., &error);
//
// Every member returns an HRESULT. A get's last parameter is its [out, retval] value, a put's
// only parameter the new value; a method's last VARIANT* is its [out, retval] Error or Result.
// Optional VARIANT arguments may be VT_EMPTY or VT_ERROR (the way hosts pass an omitted one).
// BOOL values are VARIANT_BOOL: VARIANT_TRUE (-1) or VARIANT_FALSE (0).

#include <cstdint>

#include "platform/com/dispatch.h"
#include "winsock/ocx/error_codes.h"

// {E05F5BC3-43FB-48CE-9266-025DCDACB529}: the Wirran class.
inline constexpr CLSID CLSID_Wirran{
    0xE05F5BC3, 0x43FB, 0x48CE, {0x92, 0x66, 0x02, 0x5D, 0xCD, 0xAC, 0xB5, 0x29}};
// {E9BBE1A2-9109-4CF1-BAA2-71CF078FBF17}: IWirran.
inline constexpr IID IID_IWirran{
    0xE9BBE1A2, 0x9109, 0x4CF1, {0xBA, 0xA2, 0x71, 0xCF, 0x07, 0x8F, 0xBF, 0x17}};
// {CD9BAB49-C5C0-4A7B-A096-0D3F783E77D8}: _IWirranEvents, the outgoing dispatch interface.
inline constexpr IID DIID__IWirranEvents{
    0xCD9BAB49, 0xC5C0, 0x4A7B, {0xA0, 0x96, 0x0D, 0x3F, 0x78, 0x3E, 0x77, 0xD8}};
// {6A967C3A-24E5-47BD-9298-705322683301}: the WirranCtl type library, version 1.0.
inline constexpr GUID LIBID_WirranCtl{
    0x6A967C3A, 0x24E5, 0x47BD, {0x92, 0x98, 0x70, 0x53, 0x22, 0x68, 0x33, 0x01}};

#define WIRRAN_CLSID_TEXT "{E05F5BC3-43FB-48CE-9266-025DCDACB529}"
#define WIRRAN_LIBID_TEXT "{6A967C3A-24E5-47BD-9298-705322683301}"

// The ProgIDs: the versioned one (also the error source) and the version-independent one.
inline constexpr const char* kWirranProgId = "Kestrine.Wirran.6";
inline constexpr const char* kWirranIndependentProgId = "Kestrine.Wirran";
// The control module's file version, as the Version property reports it.
inline constexpr const char* kWirranVersion = "6.0.6000.0";

// ---- Enumerations (type library names _wrHandleConstants, ...; each also has the plain alias
// used here) ----------------------------------------------------------------------------------

enum HandleConstants : LONG { wrInvalidSocket = -1, wrInvalidHandle = -1 };

enum TraceConstants : LONG {
    wrTraceInfo = 0,
    wrTraceError = 1,
    wrTraceWarning = 2,
    wrTraceHexDump = 4,
};

enum StatusConstants : LONG {
    wrStatusUnused = 0,
    wrStatusIdle = 1,
    wrStatusListen = 2,
    wrStatusConnect = 3,
    wrStatusAccept = 4,
    wrStatusRead = 5,
    wrStatusWrite = 6,
    wrStatusFlush = 7,
    wrStatusDisconnect = 8,
};

enum PortConstants : LONG {
    wrPortAny = 0,
    wrPortEcho = 7,
    wrPortDiscard = 9,
    wrPortSystat = 11,
    wrPortDaytime = 13,
    wrPortNetstat = 15,
    wrPortChargen = 19,
    wrPortFtp = 21,
    wrPortTelnet = 23,
    wrPortSmtp = 25,
    wrPortTimeserver = 37,
    wrPortNameserver = 42,
    wrPortWhois = 43,
    wrPortDomain = 53,
    wrPortMtp = 57,
    wrPortTftp = 69,
    wrPortGopher = 70,
    wrPortFinger = 79,
    wrPortHttp = 80,
    wrPortPopPass = 106,
    wrPortPop3 = 110,
    wrPortNntp = 119,
    wrPortSnmp = 161,
    wrPortHttps = 443,
    wrPortSmtps = 465,
    wrPortExec = 512,
    wrPortLogin = 513,
    wrPortShell = 514,
    wrPortNntps = 563,
    wrPortLdaps = 636,
    wrPortFtps = 990,
    wrPortTelnets = 992,
    wrPortImaps = 993,
    wrPortPop3s = 995,
    wrPortReserved = 1024,  // the first port above the reserved range
    wrPortUserReserved = 5000,
};

enum ProtocolConstants : LONG { wrProtocolTcp = 6, wrProtocolUdp = 17, wrProtocolRaw = 255 };

enum ShutdownConstants : LONG {
    wrShutdownRead = 0,
    wrShutdownWrite = 1,
    wrShutdownReadWrite = 2,
    wrShutdownBoth = 2,
};

enum ByteOrderConstants : LONG { wrLocalByteOrder = 0, wrNetworkByteOrder = 1 };

enum StreamConstants : LONG { wrStreamDefault = 0, wrStreamConvert = 1 };

// Bit flags of the Options argument of Connect, Bind and Accept.
enum OptionConstants : LONG {
    wrOptionNone = 0,
    wrOptionBroadcast = 1,
    wrOptionDontRoute = 2,
    wrOptionKeepAlive = 4,
    wrOptionReuseAddress = 8,
    wrOptionNoDelay = 16,
    wrOptionInLine = 32,
    wrOptionSecure = 4096,
};

enum SecureProtocolConstants : LONG {
    wrSecureProtocolNone = 0,
    wrSecureProtocolSSL2 = 1,
    wrSecureProtocolSSL3 = 2,
    wrSecureProtocolPCT1 = 4,
    wrSecureProtocolTLS1 = 8,
    wrSecureProtocolSSH1 = 16,
    wrSecureProtocolSSH2 = 32,
    wrSecureProtocolSSL = 3,
    wrSecureProtocolPCT = 4,
    wrSecureProtocolTLS = 8,
    wrSecureProtocolSSH = 48,
    wrSecureProtocolDefault = 10,  // SSL3 or TLS1
    wrSecureProtocolUnknown = 4096,
};

enum SecureCipherConstants : LONG {
    wrSecureCipherNone = 0,
    wrSecureCipherRC2 = 1,
    wrSecureCipherRC4 = 2,
    wrSecureCipherRC5 = 4,
    wrSecureCipherDES = 8,
    wrSecureCipherDES3 = 16,
    wrSecureCipherDESX = 32,
    wrSecureCipherAES = 64,
    wrSecureCipherSkipjack = 128,
    wrSecureCipherBlowfish = 256,
    wrSecureCipherUnknown = 4096,
};

enum SecureHashConstants : LONG {
    wrSecureHashNone = 0,
    wrSecureHashMD5 = 1,
    wrSecureHashSHA = 2,
    wrSecureHashUnknown = 4096,
};

enum SecureKeyExchangeConstants : LONG {
    wrSecureKeyExchangeNone = 0,
    wrSecureKeyExchangeRSA = 1,
    wrSecureKeyExchangeKEA = 2,
    wrSecureKeyExchangeDH = 4,
    wrSecureKeyExchangeECDH = 8,
    wrSecureKeyExchangeUnknown = 4096,
};

enum CertificateConstants : LONG {
    wrCertificateNone = 0,
    wrCertificateValid = 1,
    wrCertificateNoMatch = 2,
    wrCertificateExpired = 3,
    wrCertificateRevoked = 4,
    wrCertificateUntrusted = 5,
    wrCertificateInvalid = 6,
};

// wrError and every named code of error_codes.h.
#define WIRRAN_ERROR_NAME(code, name, text) name = code,
#define WIRRAN_ERROR_SKIP(code, text)
enum ErrorConstants : LONG { wrError = -1, WIRRAN_ERRORS(WIRRAN_ERROR_NAME, WIRRAN_ERROR_SKIP) };
#undef WIRRAN_ERROR_NAME
#undef WIRRAN_ERROR_SKIP

// String constants of the type library (module StringConstants).
inline constexpr const char16_t* wrAddressAny = u"0.0.0.0";
inline constexpr const char16_t* wrAddressLoopback = u"127.0.0.1";
inline constexpr const char16_t* wrAddressNone = u"255.255.255.255";
inline constexpr const char16_t* wrAddressInvalid = u"255.255.255.255";

// ---- Events (_IWirranEvents) ------------------------------------------------------------------

enum WirranEventId : DISPID {
    kOnAccept = 1,  // Handle (VT_I4)
    kOnCancel = 2,  // never raised by this control
    kOnConnect = 3,
    kOnDisconnect = 4,
    kOnError = 5,  // ErrorCode (VT_I4, bare code), Description (VT_BSTR)
    kOnRead = 6,
    kOnTimeout = 7,  // never raised by this control
    kOnTimer = 8,
    kOnWrite = 9,
    kOnProgress = 10,  // BytesTotal, BytesCopied, Percent (VT_I4 each)
};

struct WirranEventName {
    DISPID id;
    const char* name;
};
inline constexpr WirranEventName kWirranEvents[] = {
    {kOnAccept, "OnAccept"},         {kOnCancel, "OnCancel"}, {kOnConnect, "OnConnect"},
    {kOnDisconnect, "OnDisconnect"}, {kOnError, "OnError"},   {kOnRead, "OnRead"},
    {kOnTimeout, "OnTimeout"},       {kOnTimer, "OnTimer"},   {kOnWrite, "OnWrite"},
    {kOnProgress, "OnProgress"},
};

// ---- IWirran -----------------------------------------------------------------------------------

// The dual interface. Slots 0 to 6 are IUnknown's and IDispatch's; the members follow in the
// order below (slot 7 is About), each with the dispatch identifier of the member table in
// dispatch_table.cpp.
struct IWirran : IDispatch {
    static constexpr const IID& kIid = IID_IWirran;
    using ComBase = IDispatch;

    virtual HRESULT About() = 0;
    virtual HRESULT put_Enabled(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Enabled(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT get_Window(LONG* pVal) = 0;
    virtual HRESULT get_AdapterAddress(VARIANT Index, BSTR* pVal) = 0;
    virtual HRESULT get_AdapterCount(LONG* pVal) = 0;
    virtual HRESULT get_AtMark(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT get_AutoResolve(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_AutoResolve(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Backlog(LONG* pVal) = 0;
    virtual HRESULT put_Backlog(LONG value) = 0;
    virtual HRESULT get_Blocking(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_Blocking(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Broadcast(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_Broadcast(VARIANT_BOOL value) = 0;
    virtual HRESULT get_ByteOrder(LONG* pVal) = 0;
    virtual HRESULT put_ByteOrder(LONG value) = 0;
    virtual HRESULT get_CertificateExpires(BSTR* pVal) = 0;
    virtual HRESULT get_CertificateIssued(BSTR* pVal) = 0;
    virtual HRESULT get_CertificateIssuer(BSTR* pVal) = 0;
    virtual HRESULT get_CertificateName(BSTR* pVal) = 0;
    virtual HRESULT put_CertificateName(BSTR value) = 0;
    virtual HRESULT get_CertificateStatus(LONG* pVal) = 0;
    virtual HRESULT get_CertificateStore(BSTR* pVal) = 0;
    virtual HRESULT put_CertificateStore(BSTR value) = 0;
    virtual HRESULT get_CertificateSubject(BSTR* pVal) = 0;
    virtual HRESULT get_CipherStrength(LONG* pVal) = 0;
    virtual HRESULT get_Connected(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT get_ExternalAddress(BSTR* pVal) = 0;
    virtual HRESULT get_Handle(LONG* pVal) = 0;
    virtual HRESULT get_HashStrength(LONG* pVal) = 0;
    virtual HRESULT get_HostAddress(BSTR* pVal) = 0;
    virtual HRESULT put_HostAddress(BSTR value) = 0;
    virtual HRESULT get_HostAlias(VARIANT Index, BSTR* pVal) = 0;
    virtual HRESULT get_HostFile(BSTR* pVal) = 0;
    virtual HRESULT put_HostFile(BSTR value) = 0;
    virtual HRESULT get_HostName(BSTR* pVal) = 0;
    virtual HRESULT put_HostName(BSTR value) = 0;
    virtual HRESULT get_InLine(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_InLine(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Interval(LONG* pVal) = 0;
    virtual HRESULT put_Interval(LONG value) = 0;
    virtual HRESULT get_IsBlocked(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT get_IsClosed(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT get_IsReadable(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT get_IsWritable(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT get_KeepAlive(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_KeepAlive(VARIANT_BOOL value) = 0;
    virtual HRESULT get_LastError(LONG* pVal) = 0;
    virtual HRESULT put_LastError(LONG value) = 0;
    virtual HRESULT get_LastErrorString(BSTR* pVal) = 0;
    virtual HRESULT get_Library(BSTR* pVal) = 0;
    virtual HRESULT put_Library(BSTR value) = 0;
    virtual HRESULT get_Linger(LONG* pVal) = 0;
    virtual HRESULT put_Linger(LONG value) = 0;
    virtual HRESULT get_Listening(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT get_LocalAddress(BSTR* pVal) = 0;
    virtual HRESULT put_LocalAddress(BSTR value) = 0;
    virtual HRESULT get_LocalName(BSTR* pVal) = 0;
    virtual HRESULT get_LocalPort(LONG* pVal) = 0;
    virtual HRESULT put_LocalPort(LONG value) = 0;
    virtual HRESULT get_LocalService(BSTR* pVal) = 0;
    virtual HRESULT put_LocalService(BSTR value) = 0;
    virtual HRESULT get_MaxDatagram(LONG* pVal) = 0;
    virtual HRESULT get_MaxSockets(LONG* pVal) = 0;
    virtual HRESULT get_NoDelay(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_NoDelay(VARIANT_BOOL value) = 0;
    virtual HRESULT get_PeerAddress(BSTR* pVal) = 0;
    virtual HRESULT get_PeerName(BSTR* pVal) = 0;
    virtual HRESULT get_PeerPort(LONG* pVal) = 0;
    virtual HRESULT get_PhysicalAddress(BSTR* pVal) = 0;
    virtual HRESULT get_PortString(BSTR* pVal) = 0;
    virtual HRESULT get_Protocol(LONG* pVal) = 0;
    virtual HRESULT put_Protocol(LONG value) = 0;
    virtual HRESULT get_RemotePort(LONG* pVal) = 0;
    virtual HRESULT put_RemotePort(LONG value) = 0;
    virtual HRESULT get_RemoteService(BSTR* pVal) = 0;
    virtual HRESULT put_RemoteService(BSTR value) = 0;
    virtual HRESULT get_ReservedPort(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_ReservedPort(VARIANT_BOOL value) = 0;
    virtual HRESULT get_ReuseAddress(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_ReuseAddress(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Route(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_Route(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Secure(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_Secure(VARIANT_BOOL value) = 0;
    virtual HRESULT get_SecureCipher(LONG* pVal) = 0;
    virtual HRESULT get_SecureHash(LONG* pVal) = 0;
    virtual HRESULT get_SecureKeyExchange(LONG* pVal) = 0;
    virtual HRESULT get_SecureProtocol(LONG* pVal) = 0;
    virtual HRESULT put_SecureProtocol(LONG value) = 0;
    virtual HRESULT get_State(LONG* pVal) = 0;
    virtual HRESULT get_ThrowError(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_ThrowError(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Timeout(LONG* pVal) = 0;
    virtual HRESULT put_Timeout(LONG value) = 0;
    virtual HRESULT get_Trace(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_Trace(VARIANT_BOOL value) = 0;
    virtual HRESULT get_TraceFile(BSTR* pVal) = 0;
    virtual HRESULT put_TraceFile(BSTR value) = 0;
    virtual HRESULT get_TraceFlags(LONG* pVal) = 0;
    virtual HRESULT put_TraceFlags(LONG value) = 0;
    virtual HRESULT get_Urgent(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_Urgent(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Version(BSTR* pVal) = 0;
    virtual HRESULT get_WinsockVendor(BSTR* pVal) = 0;
    virtual HRESULT get_WinsockVersion(BSTR* pVal) = 0;
    virtual HRESULT Abort(VARIANT* Error) = 0;
    virtual HRESULT Accept(VARIANT Handle, VARIANT Options, VARIANT* Error) = 0;
    virtual HRESULT Authenticate(VARIANT UserName, VARIANT Password, VARIANT CertificateStore,
                                 VARIANT CertificateName, VARIANT Options, VARIANT* Error) = 0;
    virtual HRESULT Bind(VARIANT LocalAddress, VARIANT LocalPort, VARIANT Protocol, VARIANT Timeout,
                         VARIANT Options, VARIANT* Error) = 0;
    virtual HRESULT Cancel(VARIANT* Error) = 0;
    virtual HRESULT Connect(VARIANT RemoteAddress, VARIANT RemotePort, VARIANT Protocol,
                            VARIANT Timeout, VARIANT Options, VARIANT LocalAddress,
                            VARIANT LocalPort, VARIANT* Error) = 0;
    virtual HRESULT Disconnect(VARIANT* Error) = 0;
    virtual HRESULT Flush(VARIANT* Error) = 0;
    virtual HRESULT Initialize(VARIANT Reserved0, VARIANT ModuleName, VARIANT Options,
                               VARIANT Reserved, VARIANT* Error) = 0;
    virtual HRESULT Listen(VARIANT LocalAddress, VARIANT LocalPort, VARIANT Backlog,
                           VARIANT* Error) = 0;
    virtual HRESULT Peek(VARIANT* Buffer, VARIANT Length, VARIANT* Result) = 0;
    virtual HRESULT Read(VARIANT* Buffer, VARIANT Length, VARIANT Options, VARIANT* RemoteAddress,
                         VARIANT* RemotePort, VARIANT* Result) = 0;
    virtual HRESULT ReadEx(VARIANT* Buffer, VARIANT Length, VARIANT Options, VARIANT* RemoteAddress,
                           VARIANT* RemotePort, VARIANT* Result) = 0;
    virtual HRESULT ReadByte(VARIANT* Result) = 0;
    virtual HRESULT ReadLine(VARIANT* Buffer, VARIANT Length, VARIANT* Result) = 0;
    virtual HRESULT ReadStream(VARIANT* Buffer, VARIANT* Length, VARIANT Marker, VARIANT Options,
                               VARIANT* Result) = 0;
    virtual HRESULT Reject(VARIANT* Error) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Resolve(VARIANT HostName, VARIANT* HostAddress, VARIANT Reserved,
                            VARIANT* Error) = 0;
    virtual HRESULT Shutdown(VARIANT Options, VARIANT* Error) = 0;
    virtual HRESULT StoreStream(VARIANT FileName, VARIANT* Length, VARIANT Offset, VARIANT Options,
                                VARIANT* Result) = 0;
    virtual HRESULT Uninitialize() = 0;
    virtual HRESULT Write(VARIANT Buffer, VARIANT Length, VARIANT Options, VARIANT RemoteAddress,
                          VARIANT RemotePort, VARIANT* Result) = 0;
    virtual HRESULT WriteEx(VARIANT Buffer, VARIANT Length, VARIANT Options, VARIANT RemoteAddress,
                            VARIANT RemotePort, VARIANT* Result) = 0;
    virtual HRESULT WriteByte(VARIANT Value, VARIANT* Result) = 0;
    virtual HRESULT WriteLine(VARIANT Buffer, VARIANT* Result) = 0;
    virtual HRESULT WriteStream(VARIANT Buffer, VARIANT* Length, VARIANT Options,
                                VARIANT* Result) = 0;

  protected:
    ~IWirran() = default;
};
