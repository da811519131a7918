#pragma once
// The members of IWirran: one X-macro list, in vtable order, the single source of the interface
// slots (iwirran.h), CWirran's overrides (wirran.h), the dispatch table (wirran_dispatch.h), the
// bodies of the plain stored properties (members_stored.cpp), the type information
// (type_library.cpp) and the test double's defaults. Adding a property is one line here, plus its
// body in a members_*.cpp file when it does more than store a value.
//
// WIRRAN_MEMBERS(PROPERTY, METHOD, ACTION) lists every member:
//   PROPERTY(Access, Name, DISPID, Type, Field, GetHow, PutHow, Help)
//     Access: RW (get, then put), WR (put, then get: the stock Enabled), RO (get only) or
//     INDEXED (a get with an Index VARIANT before its result). Type: VARIANT_BOOL, LONG or BSTR.
//     Field: the stored value behind a STORED get or put, else _.
//   METHOD(Name, DISPID, Retval, Params, How, Help)
//     A method with an [out, retval] VARIANT* named Retval (Error or Result) after Params, a
//     sequence of WR_IN(Name) (a VARIANT), WR_OPT(Name) (an optional VARIANT), WR_OUT(Name) (a
//     VARIANT* written back) and WR_OPT_OUT(Name) (an optional VARIANT* written back).
//   ACTION(Name, DISPID, How, Help): a method with neither arguments nor result.
// How (GetHow, PutHow, How) says where the body is:
//   STORED   generated: the get returns Field (design mode refused), the put stores the value
//            (BOOLs reduced to VARIANT_TRUE or VARIANT_FALSE);
//   CODE     written by hand in a members_*.cpp file;
//   PENDING  written by hand, and its behaviour is still to come: some or all of its paths
//            answer wrErrorNotImplemented (12003) today (the comment on the line says which);
//   PENDING_OPTION  generated put of a socket option: without a socket it stores the value; on
//            an open socket setting the option is still to come (12003, no OnError).
//   NONE     no such accessor (the put of a read-only property).

#include "platform/com/dispatch.h"

// clang-format off
#define WIRRAN_MEMBERS(PROPERTY, METHOD, ACTION) \
    ACTION(About, DISPID_ABOUTBOX, CODE, "Shows the about box") \
    PROPERTY(WR, Enabled, DISPID_ENABLED, VARIANT_BOOL, _, CODE, CODE, "Enables or disables the control") \
    PROPERTY(RO, Window, DISPID_HWND, LONG, _, CODE, NONE, "Handle of the control's window") \
    PROPERTY(INDEXED, AdapterAddress, 1, BSTR, _, CODE, NONE, "Address of a local network adapter") \
    PROPERTY(RO, AdapterCount, 2, LONG, _, CODE, NONE, "Number of local network adapters") \
    PROPERTY(RO, AtMark, 3, VARIANT_BOOL, _, CODE, NONE, "Whether urgent data is waiting to be read") \
    PROPERTY(RW, AutoResolve, 4, VARIANT_BOOL, m_state.autoResolve, STORED, STORED, "Whether host names and addresses are resolved automatically") \
    PROPERTY(RW, Backlog, 5, LONG, m_state.backlog, STORED, STORED, "Length of the queue of pending connections") \
    PROPERTY(RW, Blocking, 6, VARIANT_BOOL, m_state.blocking, STORED, CODE, "Whether the socket blocks (TRUE) or raises events (FALSE)") \
    PROPERTY(RW, Broadcast, 7, VARIANT_BOOL, m_state.broadcast, STORED, CODE, "Whether datagrams may be broadcast") \
    PROPERTY(RW, ByteOrder, 8, LONG, m_state.byteOrder, STORED, STORED, "Byte order of integer buffers") \
    PROPERTY(RO, CertificateExpires, 9, BSTR, _, CODE, NONE, "Date the peer's certificate expires") \
    PROPERTY(RO, CertificateIssued, 10, BSTR, _, CODE, NONE, "Date the peer's certificate was issued") \
    PROPERTY(RO, CertificateIssuer, 11, BSTR, _, CODE, NONE, "Issuer of the peer's certificate") \
    PROPERTY(RW, CertificateName, 12, BSTR, m_certificateName, STORED, STORED, "Name of the client certificate") \
    PROPERTY(RO, CertificateStatus, 13, LONG, _, CODE, NONE, "Status of the peer's certificate") \
    PROPERTY(RW, CertificateStore, 14, BSTR, m_certificateStore, STORED, STORED, "Certificate store of the client certificate") \
    PROPERTY(RO, CertificateSubject, 15, BSTR, _, CODE, NONE, "Subject of the peer's certificate") \
    PROPERTY(RO, CipherStrength, 16, LONG, _, CODE, NONE, "Key length of the session's cipher in bits") \
    PROPERTY(RO, Connected, 17, VARIANT_BOOL, _, CODE, NONE, "Whether the socket is connected") \
    PROPERTY(RO, ExternalAddress, 18, BSTR, _, CODE, NONE, "Address of this host as the Internet sees it") \
    PROPERTY(RO, Handle, 19, LONG, m_socket, STORED, NONE, "Handle of the control's socket") \
    PROPERTY(RO, HashStrength, 20, LONG, _, CODE, NONE, "Length of the session's hash in bits") \
    PROPERTY(RW, HostAddress, 21, BSTR, m_state.hostAddress, STORED, CODE, "Address of the remote host") \
    PROPERTY(INDEXED, HostAlias, 22, BSTR, _, CODE, NONE, "An alias of the last resolved host") \
    PROPERTY(RW, HostFile, 23, BSTR, _, CODE, CODE, "Path of the host table file") \
    PROPERTY(RW, HostName, 24, BSTR, m_state.hostName, STORED, CODE, "Name of the remote host") \
    PROPERTY(RW, InLine, 25, VARIANT_BOOL, m_state.inLine, STORED, CODE, "Whether urgent data is read in line") \
    PROPERTY(RW, Interval, 26, LONG, m_state.interval, STORED, CODE, "Milliseconds between OnTimer events, 0 for none") \
    PROPERTY(RO, IsBlocked, 27, VARIANT_BOOL, _, CODE, NONE, "Whether a blocking call is in progress") \
    PROPERTY(RO, IsClosed, 28, VARIANT_BOOL, _, CODE, NONE, "Whether the peer has closed the connection") \
    PROPERTY(RO, IsReadable, 29, VARIANT_BOOL, _, CODE, NONE, "Whether data can be read without waiting") \
    PROPERTY(RO, IsWritable, 30, VARIANT_BOOL, _, CODE, NONE, "Whether data can be written without waiting") \
    PROPERTY(RW, KeepAlive, 31, VARIANT_BOOL, m_state.keepAlive, STORED, CODE, "Whether the connection is kept alive") \
    PROPERTY(RW, LastError, 32, LONG, _, CODE, CODE, "Code of the last error") \
    PROPERTY(RO, LastErrorString, 33, BSTR, _, CODE, NONE, "Text of the last error") \
    PROPERTY(RW, Library, 34, BSTR, m_state.libraryPath, STORED, CODE, "Path of the network library") \
    PROPERTY(RW, Linger, 35, LONG, m_state.linger, STORED, CODE, "Seconds a closing socket waits for unsent data") \
    PROPERTY(RO, Listening, 36, VARIANT_BOOL, _, CODE, NONE, "Whether the socket listens for connections") \
    PROPERTY(RW, LocalAddress, 37, BSTR, _, CODE, CODE, "Local address of the socket") \
    PROPERTY(RO, LocalName, 38, BSTR, _, CODE, NONE, "Name of the local host") \
    PROPERTY(RW, LocalPort, 39, LONG, m_state.localPort, CODE, CODE, "Local port of the socket") \
    PROPERTY(RW, LocalService, 40, BSTR, _, CODE, CODE, "Service name of the local port") \
    PROPERTY(RO, MaxDatagram, 41, LONG, m_maxDatagram, STORED, NONE, "Largest datagram the network library sends") \
    PROPERTY(RO, MaxSockets, 42, LONG, m_maxSockets, STORED, NONE, "Most sockets the network library opens") \
    PROPERTY(RW, NoDelay, 43, VARIANT_BOOL, m_state.noDelay, STORED, CODE, "Whether small writes are sent at once") \
    PROPERTY(RO, PeerAddress, 44, BSTR, _, CODE, NONE, "Address of the connected peer") \
    PROPERTY(RO, PeerName, 45, BSTR, _, CODE, NONE, "Name of the connected peer") \
    PROPERTY(RO, PeerPort, 46, LONG, _, CODE, NONE, "Port of the connected peer") \
    PROPERTY(RO, PhysicalAddress, 47, BSTR, _, CODE, NONE, "Hardware address of the first adapter") \
    PROPERTY(RO, PortString, 48, BSTR, _, CODE, NONE, "Local address and port of the socket") \
    PROPERTY(RW, Protocol, 49, LONG, m_state.protocol, STORED, STORED, "Protocol of the socket") \
    PROPERTY(RW, RemotePort, 50, LONG, m_state.remotePort, STORED, CODE, "Port of the remote host") \
    PROPERTY(RW, RemoteService, 51, BSTR, _, CODE, CODE, "Service name of the remote port") \
    PROPERTY(RW, ReservedPort, 52, VARIANT_BOOL, m_state.reservedPort, STORED, STORED, "Whether the local port is taken from the reserved range") \
    PROPERTY(RW, ReuseAddress, 53, VARIANT_BOOL, m_state.reuseAddress, STORED, STORED, "Whether the local address may be reused") \
    PROPERTY(RW, Route, 54, VARIANT_BOOL, m_state.route, STORED, STORED, "Whether datagrams are routed") \
    PROPERTY(RW, Secure, 55, VARIANT_BOOL, m_state.secure, STORED, CODE, "Whether the connection is secure") \
    PROPERTY(RO, SecureCipher, 56, LONG, _, CODE, NONE, "Cipher of the secure session") \
    PROPERTY(RO, SecureHash, 57, LONG, _, CODE, NONE, "Hash algorithm of the secure session") \
    PROPERTY(RO, SecureKeyExchange, 58, LONG, _, CODE, NONE, "Key exchange of the secure session") \
    PROPERTY(RW, SecureProtocol, 59, LONG, m_state.secureProtocol, STORED, CODE, "Secure protocol of the session") \
    PROPERTY(RO, State, 60, LONG, _, CODE, NONE, "Status of the socket") \
    PROPERTY(RW, ThrowError, 61, VARIANT_BOOL, m_state.throwError, STORED, STORED, "Whether failing methods raise errors") \
    PROPERTY(RW, Timeout, 62, LONG, _, CODE, CODE, "Seconds a blocking call waits") \
    PROPERTY(RW, Trace, 63, VARIANT_BOOL, m_state.trace, STORED, CODE, "Whether network calls are traced") \
    PROPERTY(RW, TraceFile, 64, BSTR, m_state.traceFile, STORED, CODE, "Path of the trace file") \
    PROPERTY(RW, TraceFlags, 65, LONG, m_state.traceFlags, STORED, CODE, "What the trace records") \
    PROPERTY(RW, Urgent, 66, VARIANT_BOOL, m_state.urgent, STORED, STORED, "Whether data is sent as urgent") \
    PROPERTY(RO, Version, 67, BSTR, _, CODE, NONE, "File version of the control") \
    PROPERTY(RO, WinsockVendor, 68, BSTR, m_winsockVendor, STORED, NONE, "Description of the network library") \
    PROPERTY(RO, WinsockVersion, 69, BSTR, m_winsockVersion, STORED, NONE, "Interface version of the network library") \
    METHOD(Abort, 70, Error, , CODE, "Ends the blocking call and closes the socket") \
    METHOD(Accept, 71, Error, WR_OPT(Handle) WR_OPT(Options), CODE, "Accepts a pending connection") /* server */ \
    METHOD(Authenticate, 72, Error, WR_OPT(UserName) WR_OPT(Password) WR_OPT(CertificateStore) WR_OPT(CertificateName) WR_OPT(Options), CODE, "Authenticates the session") \
    METHOD(Bind, 73, Error, WR_OPT(LocalAddress) WR_OPT(LocalPort) WR_OPT(Protocol) WR_OPT(Timeout) WR_OPT(Options), CODE, "Binds the socket to a local address") /* server and datagrams */ \
    METHOD(Cancel, 74, Error, , CODE, "Cancels the blocking call") \
    METHOD(Connect, 75, Error, WR_OPT(RemoteAddress) WR_OPT(RemotePort) WR_OPT(Protocol) WR_OPT(Timeout) WR_OPT(Options) WR_OPT(LocalAddress) WR_OPT(LocalPort), CODE, "Connects to a remote host") \
    METHOD(Disconnect, 76, Error, , CODE, "Closes the connection") \
    METHOD(Flush, 77, Error, , CODE, "Discards the data waiting to be read") \
    METHOD(Initialize, 78, Error, WR_OPT(Reserved0) WR_OPT(ModuleName) WR_OPT(Options) WR_OPT(Reserved), CODE, "Starts the network library") \
    METHOD(Listen, 79, Error, WR_OPT(LocalAddress) WR_OPT(LocalPort) WR_OPT(Backlog), CODE, "Listens for connections") /* server */ \
    METHOD(Peek, 80, Result, WR_OPT_OUT(Buffer) WR_OPT(Length), CODE, "Reads data without removing it") \
    METHOD(Read, 81, Result, WR_OUT(Buffer) WR_OPT(Length) WR_OPT(Options) WR_OPT_OUT(RemoteAddress) WR_OPT_OUT(RemotePort), CODE, "Reads data") \
    METHOD(ReadEx, 82, Result, WR_OUT(Buffer) WR_OPT(Length) WR_OPT(Options) WR_OPT_OUT(RemoteAddress) WR_OPT_OUT(RemotePort), CODE, "Reads data (as Read)") \
    METHOD(ReadByte, 83, Result, , CODE, "Reads one byte") \
    METHOD(ReadLine, 84, Result, WR_OUT(Buffer) WR_OPT(Length), CODE, "Reads one line") \
    METHOD(ReadStream, 85, Result, WR_OUT(Buffer) WR_OPT_OUT(Length) WR_OPT(Marker) WR_OPT(Options), CODE, "Reads a stream of data") \
    METHOD(Reject, 86, Error, , CODE, "Rejects a pending connection") /* with a socket */ \
    ACTION(Reset, 87, CODE, "Closes everything and restores the defaults") \
    METHOD(Resolve, 88, Error, WR_IN(HostName) WR_OUT(HostAddress) WR_OPT(Reserved), CODE, "Resolves a host name to an address") \
    METHOD(Shutdown, 89, Error, WR_OPT(Options), CODE, "Shuts down sending, receiving or both") /* with a socket */ \
    METHOD(StoreStream, 90, Result, WR_IN(FileName) WR_OPT_OUT(Length) WR_OPT(Offset) WR_OPT(Options), CODE, "Reads a stream of data into a file") \
    ACTION(Uninitialize, 91, CODE, "Resets the control and stops the network library") \
    METHOD(Write, 92, Result, WR_IN(Buffer) WR_OPT(Length) WR_OPT(Options) WR_OPT(RemoteAddress) WR_OPT(RemotePort), CODE, "Writes data") \
    METHOD(WriteEx, 93, Result, WR_IN(Buffer) WR_OPT(Length) WR_OPT(Options) WR_OPT(RemoteAddress) WR_OPT(RemotePort), CODE, "Writes data (as Write)") \
    METHOD(WriteByte, 94, Result, WR_IN(Value), CODE, "Writes one byte") \
    METHOD(WriteLine, 95, Result, WR_OPT(Buffer), CODE, "Writes one line") \
    METHOD(WriteStream, 96, Result, WR_IN(Buffer) WR_OPT_OUT(Length) WR_OPT(Options), CODE, "Writes a stream of data")
// clang-format on

// ---- Expanding the list into C++ ------------------------------------------------------------

// By default the parameters of a METHOD read as C++ parameters, each followed by a comma (the
// retval comes last). A consumer that needs another form (names, flags) redefines them between
// #pragma push_macro and pop_macro.
#define WR_IN(Name) VARIANT Name,
#define WR_OPT(Name) VARIANT Name,
#define WR_OUT(Name) VARIANT *Name,
#define WR_OPT_OUT(Name) VARIANT *Name,

// The slots of one member as declarations: Prefix before each (virtual or nothing), Suffix after
// (ending the declaration). A property's accessors follow its Access.
#define WIRRAN_GET_SLOT(Name, Type, Prefix, Suffix) Prefix HRESULT get_##Name(Type* pVal) Suffix
#define WIRRAN_PUT_SLOT(Name, Type, Prefix, Suffix) Prefix HRESULT put_##Name(Type value) Suffix
#define WIRRAN_SLOTS_RW(Name, Type, Prefix, Suffix) \
    WIRRAN_GET_SLOT(Name, Type, Prefix, Suffix) WIRRAN_PUT_SLOT(Name, Type, Prefix, Suffix)
#define WIRRAN_SLOTS_WR(Name, Type, Prefix, Suffix) \
    WIRRAN_PUT_SLOT(Name, Type, Prefix, Suffix) WIRRAN_GET_SLOT(Name, Type, Prefix, Suffix)
#define WIRRAN_SLOTS_RO(Name, Type, Prefix, Suffix) WIRRAN_GET_SLOT(Name, Type, Prefix, Suffix)
#define WIRRAN_SLOTS_INDEXED(Name, Type, Prefix, Suffix) \
    Prefix HRESULT get_##Name(VARIANT Index, Type* pVal) Suffix

// WIRRAN_DECLARE_MEMBERS() declares every member in slot order, each declaration between
// WIRRAN_SLOT_PREFIX and WIRRAN_SLOT_SUFFIX, which the consumer defines first; the suffix ends
// the declaration (= 0; or override; or a body).
#define WIRRAN_DECLARE_PROPERTY(Access, Name, Id, Type, Field, GetHow, PutHow, Help) \
    WIRRAN_SLOTS_##Access(Name, Type, WIRRAN_SLOT_PREFIX, WIRRAN_SLOT_SUFFIX)
#define WIRRAN_DECLARE_METHOD(Name, Id, Retval, Params, How, Help) \
    WIRRAN_SLOT_PREFIX HRESULT Name(Params VARIANT* Retval) WIRRAN_SLOT_SUFFIX
#define WIRRAN_DECLARE_ACTION(Name, Id, How, Help) \
    WIRRAN_SLOT_PREFIX HRESULT Name() WIRRAN_SLOT_SUFFIX
#define WIRRAN_DECLARE_MEMBERS() \
    WIRRAN_MEMBERS(WIRRAN_DECLARE_PROPERTY, WIRRAN_DECLARE_METHOD, WIRRAN_DECLARE_ACTION)
