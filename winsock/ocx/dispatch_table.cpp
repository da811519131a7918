// IWirran's member table: every member with its name, dispatch identifier, kind and arguments,
// in slot order. GetIDsOfNames and Invoke are answered from it, so a late-bound call lands on the
// same code as a vtable call.

#include "winsock/ocx/wirran.h"

namespace {

const char* const kIndexArgs[] = {"Index"};
const char* const kAcceptArgs[] = {"Handle", "Options"};
const char* const kAuthenticateArgs[] = {"UserName", "Password", "CertificateStore",
                                         "CertificateName", "Options"};
const char* const kBindArgs[] = {"LocalAddress", "LocalPort", "Protocol", "Timeout", "Options"};
const char* const kConnectArgs[] = {"RemoteAddress", "RemotePort",   "Protocol", "Timeout",
                                    "Options",       "LocalAddress", "LocalPort"};
const char* const kInitializeArgs[] = {"Reserved0", "ModuleName", "Options", "Reserved"};
const char* const kListenArgs[] = {"LocalAddress", "LocalPort", "Backlog"};
const char* const kPeekArgs[] = {"Buffer", "Length"};
const char* const kReadArgs[] = {"Buffer", "Length", "Options", "RemoteAddress", "RemotePort"};
const char* const kReadLineArgs[] = {"Buffer", "Length"};
const char* const kReadStreamArgs[] = {"Buffer", "Length", "Marker", "Options"};
const char* const kResolveArgs[] = {"HostName", "HostAddress", "Reserved"};
const char* const kShutdownArgs[] = {"Options"};
const char* const kStoreStreamArgs[] = {"FileName", "Length", "Offset", "Options"};
const char* const kWriteArgs[] = {"Buffer", "Length", "Options", "RemoteAddress", "RemotePort"};
const char* const kWriteByteArgs[] = {"Value"};
const char* const kWriteLineArgs[] = {"Buffer"};
const char* const kWriteStreamArgs[] = {"Buffer", "Length", "Options"};

const DispMember kMembers[] = {
    dispMethodNoResult<&IWirran::About>("About", DISPID_ABOUTBOX),
    dispPut<&IWirran::put_Enabled>("Enabled", DISPID_ENABLED),
    dispGet<&IWirran::get_Enabled>("Enabled", DISPID_ENABLED),
    dispGet<&IWirran::get_Window>("Window", DISPID_HWND),
    dispGet<&IWirran::get_AdapterAddress>("AdapterAddress", 1, 1, kIndexArgs),
    dispGet<&IWirran::get_AdapterCount>("AdapterCount", 2),
    dispGet<&IWirran::get_AtMark>("AtMark", 3),
    dispGet<&IWirran::get_AutoResolve>("AutoResolve", 4),
    dispPut<&IWirran::put_AutoResolve>("AutoResolve", 4),
    dispGet<&IWirran::get_Backlog>("Backlog", 5),
    dispPut<&IWirran::put_Backlog>("Backlog", 5),
    dispGet<&IWirran::get_Blocking>("Blocking", 6),
    dispPut<&IWirran::put_Blocking>("Blocking", 6),
    dispGet<&IWirran::get_Broadcast>("Broadcast", 7),
    dispPut<&IWirran::put_Broadcast>("Broadcast", 7),
    dispGet<&IWirran::get_ByteOrder>("ByteOrder", 8),
    dispPut<&IWirran::put_ByteOrder>("ByteOrder", 8),
    dispGet<&IWirran::get_CertificateExpires>("CertificateExpires", 9),
    dispGet<&IWirran::get_CertificateIssued>("CertificateIssued", 10),
    dispGet<&IWirran::get_CertificateIssuer>("CertificateIssuer", 11),
    dispGet<&IWirran::get_CertificateName>("CertificateName", 12),
    dispPut<&IWirran::put_CertificateName>("CertificateName", 12),
    dispGet<&IWirran::get_CertificateStatus>("CertificateStatus", 13),
    dispGet<&IWirran::get_CertificateStore>("CertificateStore", 14),
    dispPut<&IWirran::put_CertificateStore>("CertificateStore", 14),
    dispGet<&IWirran::get_CertificateSubject>("CertificateSubject", 15),
    dispGet<&IWirran::get_CipherStrength>("CipherStrength", 16),
    dispGet<&IWirran::get_Connected>("Connected", 17),
    dispGet<&IWirran::get_ExternalAddress>("ExternalAddress", 18),
    dispGet<&IWirran::get_Handle>("Handle", 19),
    dispGet<&IWirran::get_HashStrength>("HashStrength", 20),
    dispGet<&IWirran::get_HostAddress>("HostAddress", 21),
    dispPut<&IWirran::put_HostAddress>("HostAddress", 21),
    dispGet<&IWirran::get_HostAlias>("HostAlias", 22, 1, kIndexArgs),
    dispGet<&IWirran::get_HostFile>("HostFile", 23),
    dispPut<&IWirran::put_HostFile>("HostFile", 23),
    dispGet<&IWirran::get_HostName>("HostName", 24),
    dispPut<&IWirran::put_HostName>("HostName", 24),
    dispGet<&IWirran::get_InLine>("InLine", 25),
    dispPut<&IWirran::put_InLine>("InLine", 25),
    dispGet<&IWirran::get_Interval>("Interval", 26),
    dispPut<&IWirran::put_Interval>("Interval", 26),
    dispGet<&IWirran::get_IsBlocked>("IsBlocked", 27),
    dispGet<&IWirran::get_IsClosed>("IsClosed", 28),
    dispGet<&IWirran::get_IsReadable>("IsReadable", 29),
    dispGet<&IWirran::get_IsWritable>("IsWritable", 30),
    dispGet<&IWirran::get_KeepAlive>("KeepAlive", 31),
    dispPut<&IWirran::put_KeepAlive>("KeepAlive", 31),
    dispGet<&IWirran::get_LastError>("LastError", 32),
    dispPut<&IWirran::put_LastError>("LastError", 32),
    dispGet<&IWirran::get_LastErrorString>("LastErrorString", 33),
    dispGet<&IWirran::get_Library>("Library", 34),
    dispPut<&IWirran::put_Library>("Library", 34),
    dispGet<&IWirran::get_Linger>("Linger", 35),
    dispPut<&IWirran::put_Linger>("Linger", 35),
    dispGet<&IWirran::get_Listening>("Listening", 36),
    dispGet<&IWirran::get_LocalAddress>("LocalAddress", 37),
    dispPut<&IWirran::put_LocalAddress>("LocalAddress", 37),
    dispGet<&IWirran::get_LocalName>("LocalName", 38),
    dispGet<&IWirran::get_LocalPort>("LocalPort", 39),
    dispPut<&IWirran::put_LocalPort>("LocalPort", 39),
    dispGet<&IWirran::get_LocalService>("LocalService", 40),
    dispPut<&IWirran::put_LocalService>("LocalService", 40),
    dispGet<&IWirran::get_MaxDatagram>("MaxDatagram", 41),
    dispGet<&IWirran::get_MaxSockets>("MaxSockets", 42),
    dispGet<&IWirran::get_NoDelay>("NoDelay", 43),
    dispPut<&IWirran::put_NoDelay>("NoDelay", 43),
    dispGet<&IWirran::get_PeerAddress>("PeerAddress", 44),
    dispGet<&IWirran::get_PeerName>("PeerName", 45),
    dispGet<&IWirran::get_PeerPort>("PeerPort", 46),
    dispGet<&IWirran::get_PhysicalAddress>("PhysicalAddress", 47),
    dispGet<&IWirran::get_PortString>("PortString", 48),
    dispGet<&IWirran::get_Protocol>("Protocol", 49),
    dispPut<&IWirran::put_Protocol>("Protocol", 49),
    dispGet<&IWirran::get_RemotePort>("RemotePort", 50),
    dispPut<&IWirran::put_RemotePort>("RemotePort", 50),
    dispGet<&IWirran::get_RemoteService>("RemoteService", 51),
    dispPut<&IWirran::put_RemoteService>("RemoteService", 51),
    dispGet<&IWirran::get_ReservedPort>("ReservedPort", 52),
    dispPut<&IWirran::put_ReservedPort>("ReservedPort", 52),
    dispGet<&IWirran::get_ReuseAddress>("ReuseAddress", 53),
    dispPut<&IWirran::put_ReuseAddress>("ReuseAddress", 53),
    dispGet<&IWirran::get_Route>("Route", 54),
    dispPut<&IWirran::put_Route>("Route", 54),
    dispGet<&IWirran::get_Secure>("Secure", 55),
    dispPut<&IWirran::put_Secure>("Secure", 55),
    dispGet<&IWirran::get_SecureCipher>("SecureCipher", 56),
    dispGet<&IWirran::get_SecureHash>("SecureHash", 57),
    dispGet<&IWirran::get_SecureKeyExchange>("SecureKeyExchange", 58),
    dispGet<&IWirran::get_SecureProtocol>("SecureProtocol", 59),
    dispPut<&IWirran::put_SecureProtocol>("SecureProtocol", 59),
    dispGet<&IWirran::get_State>("State", 60),
    dispGet<&IWirran::get_ThrowError>("ThrowError", 61),
    dispPut<&IWirran::put_ThrowError>("ThrowError", 61),
    dispGet<&IWirran::get_Timeout>("Timeout", 62),
    dispPut<&IWirran::put_Timeout>("Timeout", 62),
    dispGet<&IWirran::get_Trace>("Trace", 63),
    dispPut<&IWirran::put_Trace>("Trace", 63),
    dispGet<&IWirran::get_TraceFile>("TraceFile", 64),
    dispPut<&IWirran::put_TraceFile>("TraceFile", 64),
    dispGet<&IWirran::get_TraceFlags>("TraceFlags", 65),
    dispPut<&IWirran::put_TraceFlags>("TraceFlags", 65),
    dispGet<&IWirran::get_Urgent>("Urgent", 66),
    dispPut<&IWirran::put_Urgent>("Urgent", 66),
    dispGet<&IWirran::get_Version>("Version", 67),
    dispGet<&IWirran::get_WinsockVendor>("WinsockVendor", 68),
    dispGet<&IWirran::get_WinsockVersion>("WinsockVersion", 69),
    dispMethod<&IWirran::Abort>("Abort", 70),
    dispMethod<&IWirran::Accept>("Accept", 71, 1, kAcceptArgs),
    dispMethod<&IWirran::Authenticate>("Authenticate", 72, 0, kAuthenticateArgs),
    dispMethod<&IWirran::Bind>("Bind", 73, 0, kBindArgs),
    dispMethod<&IWirran::Cancel>("Cancel", 74),
    dispMethod<&IWirran::Connect>("Connect", 75, 0, kConnectArgs),
    dispMethod<&IWirran::Disconnect>("Disconnect", 76),
    dispMethod<&IWirran::Flush>("Flush", 77),
    dispMethod<&IWirran::Initialize>("Initialize", 78, 0, kInitializeArgs),
    dispMethod<&IWirran::Listen>("Listen", 79, 0, kListenArgs),
    dispMethod<&IWirran::Peek>("Peek", 80, 0, kPeekArgs),
    dispMethod<&IWirran::Read>("Read", 81, 1, kReadArgs),
    dispMethod<&IWirran::ReadEx>("ReadEx", 82, 1, kReadArgs),
    dispMethod<&IWirran::ReadByte>("ReadByte", 83),
    dispMethod<&IWirran::ReadLine>("ReadLine", 84, 1, kReadLineArgs),
    dispMethod<&IWirran::ReadStream>("ReadStream", 85, 1, kReadStreamArgs),
    dispMethod<&IWirran::Reject>("Reject", 86),
    dispMethodNoResult<&IWirran::Reset>("Reset", 87),
    dispMethod<&IWirran::Resolve>("Resolve", 88, 2, kResolveArgs),
    dispMethod<&IWirran::Shutdown>("Shutdown", 89, 0, kShutdownArgs),
    dispMethod<&IWirran::StoreStream>("StoreStream", 90, 1, kStoreStreamArgs),
    dispMethodNoResult<&IWirran::Uninitialize>("Uninitialize", 91),
    dispMethod<&IWirran::Write>("Write", 92, 1, kWriteArgs),
    dispMethod<&IWirran::WriteEx>("WriteEx", 93, 1, kWriteArgs),
    dispMethod<&IWirran::WriteByte>("WriteByte", 94, 1, kWriteByteArgs),
    dispMethod<&IWirran::WriteLine>("WriteLine", 95, 0, kWriteLineArgs),
    dispMethod<&IWirran::WriteStream>("WriteStream", 96, 1, kWriteStreamArgs),
};

}  // namespace

HRESULT CWirran::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CWirran::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    return E_NOTIMPL;
}

HRESULT CWirran::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return dispTableGetIDsOfNames(kMembers, riid, names, count, ids);
}

HRESULT CWirran::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    return dispTableInvoke(kMembers, static_cast<IWirran*>(this), id, riid, lcid, flags, params,
                           result, excep, argErr);
}

std::span<const DispMember> wirranMembers() {
    return kMembers;
}
