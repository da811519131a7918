// The member list as hosts and tests see it: the dispatch table built from it keeps every
// member's slot, DISPID and parameters exactly where the interface has always had them.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "winsock/ocx/interface/wirran_dispatch.h"

namespace {

const char* kindName(WORD kind) {
    switch (kind) {
        case DISPATCH_PROPERTYGET:
            return "get";
        case DISPATCH_PROPERTYPUT:
            return "put";
        default:
            return "method";
    }
}

}  // namespace

TEST(WirranMembers, TheTableKeepsEverySlotDispidAndParameter) {
    // Slot order (slot 7 first), kind, name, DISPID, parameter count and required count, as
    // the interface was published; an "action" is a method without a result.
    const std::string expected =
        "action About -552 0 0\n"
        "put Enabled -514 1 1\n"
        "get Enabled -514 0 0\n"
        "get Window -515 0 0\n"
        "get AdapterAddress 1 1 1\n"
        "get AdapterCount 2 0 0\n"
        "get AtMark 3 0 0\n"
        "get AutoResolve 4 0 0\n"
        "put AutoResolve 4 1 1\n"
        "get Backlog 5 0 0\n"
        "put Backlog 5 1 1\n"
        "get Blocking 6 0 0\n"
        "put Blocking 6 1 1\n"
        "get Broadcast 7 0 0\n"
        "put Broadcast 7 1 1\n"
        "get ByteOrder 8 0 0\n"
        "put ByteOrder 8 1 1\n"
        "get CertificateExpires 9 0 0\n"
        "get CertificateIssued 10 0 0\n"
        "get CertificateIssuer 11 0 0\n"
        "get CertificateName 12 0 0\n"
        "put CertificateName 12 1 1\n"
        "get CertificateStatus 13 0 0\n"
        "get CertificateStore 14 0 0\n"
        "put CertificateStore 14 1 1\n"
        "get CertificateSubject 15 0 0\n"
        "get CipherStrength 16 0 0\n"
        "get Connected 17 0 0\n"
        "get ExternalAddress 18 0 0\n"
        "get Handle 19 0 0\n"
        "get HashStrength 20 0 0\n"
        "get HostAddress 21 0 0\n"
        "put HostAddress 21 1 1\n"
        "get HostAlias 22 1 1\n"
        "get HostFile 23 0 0\n"
        "put HostFile 23 1 1\n"
        "get HostName 24 0 0\n"
        "put HostName 24 1 1\n"
        "get InLine 25 0 0\n"
        "put InLine 25 1 1\n"
        "get Interval 26 0 0\n"
        "put Interval 26 1 1\n"
        "get IsBlocked 27 0 0\n"
        "get IsClosed 28 0 0\n"
        "get IsReadable 29 0 0\n"
        "get IsWritable 30 0 0\n"
        "get KeepAlive 31 0 0\n"
        "put KeepAlive 31 1 1\n"
        "get LastError 32 0 0\n"
        "put LastError 32 1 1\n"
        "get LastErrorString 33 0 0\n"
        "get Library 34 0 0\n"
        "put Library 34 1 1\n"
        "get Linger 35 0 0\n"
        "put Linger 35 1 1\n"
        "get Listening 36 0 0\n"
        "get LocalAddress 37 0 0\n"
        "put LocalAddress 37 1 1\n"
        "get LocalName 38 0 0\n"
        "get LocalPort 39 0 0\n"
        "put LocalPort 39 1 1\n"
        "get LocalService 40 0 0\n"
        "put LocalService 40 1 1\n"
        "get MaxDatagram 41 0 0\n"
        "get MaxSockets 42 0 0\n"
        "get NoDelay 43 0 0\n"
        "put NoDelay 43 1 1\n"
        "get PeerAddress 44 0 0\n"
        "get PeerName 45 0 0\n"
        "get PeerPort 46 0 0\n"
        "get PhysicalAddress 47 0 0\n"
        "get PortString 48 0 0\n"
        "get Protocol 49 0 0\n"
        "put Protocol 49 1 1\n"
        "get RemotePort 50 0 0\n"
        "put RemotePort 50 1 1\n"
        "get RemoteService 51 0 0\n"
        "put RemoteService 51 1 1\n"
        "get ReservedPort 52 0 0\n"
        "put ReservedPort 52 1 1\n"
        "get ReuseAddress 53 0 0\n"
        "put ReuseAddress 53 1 1\n"
        "get Route 54 0 0\n"
        "put Route 54 1 1\n"
        "get Secure 55 0 0\n"
        "put Secure 55 1 1\n"
        "get SecureCipher 56 0 0\n"
        "get SecureHash 57 0 0\n"
        "get SecureKeyExchange 58 0 0\n"
        "get SecureProtocol 59 0 0\n"
        "put SecureProtocol 59 1 1\n"
        "get State 60 0 0\n"
        "get ThrowError 61 0 0\n"
        "put ThrowError 61 1 1\n"
        "get Timeout 62 0 0\n"
        "put Timeout 62 1 1\n"
        "get Trace 63 0 0\n"
        "put Trace 63 1 1\n"
        "get TraceFile 64 0 0\n"
        "put TraceFile 64 1 1\n"
        "get TraceFlags 65 0 0\n"
        "put TraceFlags 65 1 1\n"
        "get Urgent 66 0 0\n"
        "put Urgent 66 1 1\n"
        "get Version 67 0 0\n"
        "get WinsockVendor 68 0 0\n"
        "get WinsockVersion 69 0 0\n"
        "method Abort 70 0 0\n"
        "method Accept 71 2 0\n"
        "method Authenticate 72 5 0\n"
        "method Bind 73 5 0\n"
        "method Cancel 74 0 0\n"
        "method Connect 75 7 0\n"
        "method Disconnect 76 0 0\n"
        "method Flush 77 0 0\n"
        "method Initialize 78 4 0\n"
        "method Listen 79 3 0\n"
        "method Peek 80 2 0\n"
        "method Read 81 5 1\n"
        "method ReadEx 82 5 1\n"
        "method ReadByte 83 0 0\n"
        "method ReadLine 84 2 1\n"
        "method ReadStream 85 4 1\n"
        "method Reject 86 0 0\n"
        "action Reset 87 0 0\n"
        "method Resolve 88 3 2\n"
        "method Shutdown 89 1 0\n"
        "method StoreStream 90 4 1\n"
        "action Uninitialize 91 0 0\n"
        "method Write 92 5 1\n"
        "method WriteEx 93 5 1\n"
        "method WriteByte 94 1 1\n"
        "method WriteLine 95 1 0\n"
        "method WriteStream 96 3 1\n";
    std::ostringstream got;
    for (const DispMember& m : wirranMembers()) {
        const char* kind = kindName(m.kind);
        if (m.kind == DISPATCH_METHOD && m.resultType == VT_EMPTY) kind = "action";
        got << kind << ' ' << m.name << ' ' << m.dispid << ' ' << m.paramCount << ' '
            << m.requiredCount << '\n';
    }
    EXPECT_EQ(got.str(), expected);
}

TEST(WirranMembers, ParametersCarryTheirNamesAndTypes) {
    const DispMember* read = dispTableFind(wirranMembers(), "Read", DISPATCH_METHOD);
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->paramCount, 5u);
    const char* const names[] = {"Buffer", "Length", "Options", "RemoteAddress", "RemotePort"};
    for (UINT i = 0; i < read->paramCount; ++i)
        EXPECT_STREQ(read->paramNames[i], names[i]);
    EXPECT_EQ(read->paramTypes[0], VT_VARIANT | VT_BYREF);  // written back
    EXPECT_EQ(read->paramTypes[1], VT_VARIANT);
    EXPECT_EQ(read->resultType, VT_VARIANT);
    const DispMember* alias = dispTableFind(wirranMembers(), "HostAlias", DISPATCH_PROPERTYGET);
    ASSERT_NE(alias, nullptr);
    EXPECT_STREQ(alias->paramNames[0], "Index");
    EXPECT_EQ(alias->resultType, VT_BSTR);
    const DispMember* timeout = dispTableFind(wirranMembers(), "timeout", DISPATCH_PROPERTYPUT);
    ASSERT_NE(timeout, nullptr);
    EXPECT_EQ(timeout->paramTypes[0], VT_I4);
    const DispMember* enabled = dispTableFind(wirranMembers(), "Enabled", DISPATCH_PROPERTYGET);
    ASSERT_NE(enabled, nullptr);
    EXPECT_EQ(enabled->resultType, VT_BOOL);
}
