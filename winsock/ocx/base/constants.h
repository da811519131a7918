#pragma once
// The control's enumerations and string constants: one X-macro list per enumeration, the single
// source of the C++ enumerations every layer of the control uses (socket status, option bits,
// secure-channel values, error codes) and of the enumerations in the control's type information.
//
//   if (record.status == wrStatusConnect) ...
//   SetSocketError(wrErrorOperationTimeout);
//
// WIRRAN_ENUMERATIONS(E) lists each enumeration as E(Type, type library name, help string,
// constants list); a constants list is called with C(name, value). The error codes have their
// own list (error_codes.h); ErrorConstants is wrError and every named code of it.

#include <cstdint>

#include "winsock/ocx/base/error_codes.h"

// clang-format off
#define WIRRAN_HANDLE_CONSTANTS(C) C(wrInvalidSocket, -1) C(wrInvalidHandle, -1)

#define WIRRAN_TRACE_CONSTANTS(C) \
    C(wrTraceInfo, 0) C(wrTraceError, 1) C(wrTraceWarning, 2) C(wrTraceHexDump, 4)

#define WIRRAN_STATUS_CONSTANTS(C) \
    C(wrStatusUnused, 0) C(wrStatusIdle, 1) C(wrStatusListen, 2) C(wrStatusConnect, 3) \
    C(wrStatusAccept, 4) C(wrStatusRead, 5) C(wrStatusWrite, 6) C(wrStatusFlush, 7) \
    C(wrStatusDisconnect, 8)

#define WIRRAN_PORT_CONSTANTS(C) \
    C(wrPortAny, 0) C(wrPortEcho, 7) C(wrPortDiscard, 9) C(wrPortSystat, 11) \
    C(wrPortDaytime, 13) C(wrPortNetstat, 15) C(wrPortChargen, 19) C(wrPortFtp, 21) \
    C(wrPortTelnet, 23) C(wrPortSmtp, 25) C(wrPortTimeserver, 37) C(wrPortNameserver, 42) \
    C(wrPortWhois, 43) C(wrPortDomain, 53) C(wrPortMtp, 57) C(wrPortTftp, 69) \
    C(wrPortGopher, 70) C(wrPortFinger, 79) C(wrPortHttp, 80) C(wrPortPopPass, 106) \
    C(wrPortPop3, 110) C(wrPortNntp, 119) C(wrPortSnmp, 161) C(wrPortHttps, 443) \
    C(wrPortSmtps, 465) C(wrPortExec, 512) C(wrPortLogin, 513) C(wrPortShell, 514) \
    C(wrPortNntps, 563) C(wrPortLdaps, 636) C(wrPortFtps, 990) C(wrPortTelnets, 992) \
    C(wrPortImaps, 993) C(wrPortPop3s, 995) \
    C(wrPortReserved, 1024) /* the first port above the reserved range */ \
    C(wrPortUserReserved, 5000)

#define WIRRAN_PROTOCOL_CONSTANTS(C) C(wrProtocolTcp, 6) C(wrProtocolUdp, 17) C(wrProtocolRaw, 255)

#define WIRRAN_SHUTDOWN_CONSTANTS(C) \
    C(wrShutdownRead, 0) C(wrShutdownWrite, 1) C(wrShutdownReadWrite, 2) C(wrShutdownBoth, 2)

#define WIRRAN_BYTE_ORDER_CONSTANTS(C) C(wrLocalByteOrder, 0) C(wrNetworkByteOrder, 1)

#define WIRRAN_STREAM_CONSTANTS(C) C(wrStreamDefault, 0) C(wrStreamConvert, 1) C(wrStreamFile, 2)

#define WIRRAN_OPTION_CONSTANTS(C) \
    C(wrOptionNone, 0) C(wrOptionBroadcast, 1) C(wrOptionDontRoute, 2) C(wrOptionKeepAlive, 4) \
    C(wrOptionReuseAddress, 8) C(wrOptionNoDelay, 16) C(wrOptionInLine, 32) \
    C(wrOptionSecure, 4096)

#define WIRRAN_SECURE_PROTOCOL_CONSTANTS(C) \
    C(wrSecureProtocolNone, 0) C(wrSecureProtocolSSL2, 1) C(wrSecureProtocolSSL3, 2) \
    C(wrSecureProtocolPCT1, 4) C(wrSecureProtocolTLS1, 8) C(wrSecureProtocolSSH1, 16) \
    C(wrSecureProtocolSSH2, 32) C(wrSecureProtocolSSL, 3) C(wrSecureProtocolPCT, 4) \
    C(wrSecureProtocolTLS, 8) C(wrSecureProtocolSSH, 48) \
    C(wrSecureProtocolDefault, 10) /* SSL3 or TLS1 */ \
    C(wrSecureProtocolUnknown, 4096)

#define WIRRAN_SECURE_CIPHER_CONSTANTS(C) \
    C(wrSecureCipherNone, 0) C(wrSecureCipherRC2, 1) C(wrSecureCipherRC4, 2) \
    C(wrSecureCipherRC5, 4) C(wrSecureCipherDES, 8) C(wrSecureCipherDES3, 16) \
    C(wrSecureCipherDESX, 32) C(wrSecureCipherAES, 64) C(wrSecureCipherSkipjack, 128) \
    C(wrSecureCipherBlowfish, 256) C(wrSecureCipherUnknown, 4096)

#define WIRRAN_SECURE_HASH_CONSTANTS(C) \
    C(wrSecureHashNone, 0) C(wrSecureHashMD5, 1) C(wrSecureHashSHA, 2) \
    C(wrSecureHashUnknown, 4096)

#define WIRRAN_SECURE_KEY_EXCHANGE_CONSTANTS(C) \
    C(wrSecureKeyExchangeNone, 0) C(wrSecureKeyExchangeRSA, 1) C(wrSecureKeyExchangeKEA, 2) \
    C(wrSecureKeyExchangeDH, 4) C(wrSecureKeyExchangeECDH, 8) \
    C(wrSecureKeyExchangeUnknown, 4096)

#define WIRRAN_CERTIFICATE_CONSTANTS(C) \
    C(wrCertificateNone, 0) C(wrCertificateValid, 1) C(wrCertificateNoMatch, 2) \
    C(wrCertificateExpired, 3) C(wrCertificateRevoked, 4) C(wrCertificateUntrusted, 5) \
    C(wrCertificateInvalid, 6)

#define WIRRAN_ENUMERATIONS(E) \
    E(HandleConstants, "_wrHandleConstants", "Socket handle values", WIRRAN_HANDLE_CONSTANTS) \
    E(TraceConstants, "_wrTraceConstants", "Trace flags", WIRRAN_TRACE_CONSTANTS) \
    E(StatusConstants, "_wrStatusConstants", "Socket status (State)", WIRRAN_STATUS_CONSTANTS) \
    E(PortConstants, "_wrPortConstants", "Well-known port numbers", WIRRAN_PORT_CONSTANTS) \
    E(ProtocolConstants, "_wrProtocolConstants", "Socket protocols (Protocol)", WIRRAN_PROTOCOL_CONSTANTS) \
    E(ShutdownConstants, "_wrShutdownConstants", "Shutdown options", WIRRAN_SHUTDOWN_CONSTANTS) \
    E(ByteOrderConstants, "_wrByteOrderConstants", "Byte order (ByteOrder)", WIRRAN_BYTE_ORDER_CONSTANTS) \
    E(StreamConstants, "_wrStreamConstants", "Stream options", WIRRAN_STREAM_CONSTANTS) \
    E(OptionConstants, "_wrOptionConstants", "Socket option flags of Connect, Bind and Accept", WIRRAN_OPTION_CONSTANTS) \
    E(SecureProtocolConstants, "_wrSecureProtocolConstants", "Secure protocols", WIRRAN_SECURE_PROTOCOL_CONSTANTS) \
    E(SecureCipherConstants, "_wrSecureCipherConstants", "Secure ciphers", WIRRAN_SECURE_CIPHER_CONSTANTS) \
    E(SecureHashConstants, "_wrSecureHashConstants", "Secure hash algorithms", WIRRAN_SECURE_HASH_CONSTANTS) \
    E(SecureKeyExchangeConstants, "_wrSecureKeyExchangeConstants", "Secure key exchange algorithms", WIRRAN_SECURE_KEY_EXCHANGE_CONSTANTS) \
    E(CertificateConstants, "_wrCertificateConstants", "Certificate status (CertificateStatus)", WIRRAN_CERTIFICATE_CONSTANTS)

// The string constants of the type library (module StringConstants): C(name, UTF-16 text).
#define WIRRAN_STRING_CONSTANTS(C) \
    C(wrAddressAny, u"0.0.0.0") C(wrAddressLoopback, u"127.0.0.1") \
    C(wrAddressNone, u"255.255.255.255") C(wrAddressInvalid, u"255.255.255.255")
// clang-format on

#define WIRRAN_CONSTANT_ENUMERATOR(name, value) name = value,
#define WIRRAN_DECLARE_ENUMERATION(Type, libraryName, help, LIST) \
    enum Type : int32_t { LIST(WIRRAN_CONSTANT_ENUMERATOR) };
WIRRAN_ENUMERATIONS(WIRRAN_DECLARE_ENUMERATION)
#undef WIRRAN_DECLARE_ENUMERATION

#define WIRRAN_ERROR_ENUMERATOR(code, name, text) name = code,
#define WIRRAN_ERROR_NO_ENUMERATOR(code, text)
enum ErrorConstants : int32_t {
    wrError = -1,
    WIRRAN_ERRORS(WIRRAN_ERROR_ENUMERATOR, WIRRAN_ERROR_NO_ENUMERATOR)
};
#undef WIRRAN_ERROR_ENUMERATOR
#undef WIRRAN_ERROR_NO_ENUMERATOR
#undef WIRRAN_CONSTANT_ENUMERATOR

#define WIRRAN_STRING_CONSTANT(name, text) inline constexpr const char16_t* name = text;
WIRRAN_STRING_CONSTANTS(WIRRAN_STRING_CONSTANT)
#undef WIRRAN_STRING_CONSTANT
