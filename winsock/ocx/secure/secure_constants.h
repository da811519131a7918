#pragma once
// The numbers the secure channel speaks in: the control's error codes it sets, the values of the
// control's protocol, cipher, hash, key-exchange and certificate enumerations it reports, and the
// status value its calls return.
//
// They live in namespace kvsecure so that the control, which declares the same enumerations for
// its type information, can include this header beside its own without a clash.

#include <string>

namespace kvsecure {

// A call's outcome: 0, or the control's error code with a sentence saying why (for the trace and
// for tests; the control's own message table gives the user-facing text of the code).
struct SecureStatus {
    int code = 0;
    std::string message;

    bool ok() const { return code == 0; }
};

// Error codes set in the socket layer's error slot (bare form; the slot stores 0x8004xxxx).
constexpr int kErrorCanceled = 10004;          // wrErrorOperationCanceled
constexpr int kErrorOutOfMemory = 10012;       // wrErrorOutOfMemory
constexpr int kErrorInvalidParameter = 10014;  // wrErrorInvalidParameter
constexpr int kErrorTimeout = 10060;           // wrErrorOperationTimeout
constexpr int kErrorInvalidHostName = 11001;   // wrErrorInvalidHostName
constexpr int kErrorNotInitialized = 12101;    // wrErrorSecurityNotInitialized
constexpr int kErrorContext = 12102;           // wrErrorSecurityContext
constexpr int kErrorCredentials = 12103;       // wrErrorSecurityCredentials
constexpr int kErrorCertificate = 12104;       // wrErrorSecurityCertificate
constexpr int kErrorDecryption = 12105;        // wrErrorSecurityDecryption
constexpr int kErrorEncryption = 12106;        // wrErrorSecurityEncryption

// wrSecureProtocol values: the bits a caller selects, and the value reported for a session.
constexpr int wrSecureProtocolNone = 0;
constexpr int wrSecureProtocolSSL2 = 1;
constexpr int wrSecureProtocolSSL3 = 2;
constexpr int wrSecureProtocolPCT1 = 4;
constexpr int wrSecureProtocolTLS1 = 8;
constexpr int wrSecureProtocolDefault = 10;  // SSL3 | TLS1
constexpr int wrSecureProtocolUnknown = 4096;

// wrSecureCipher values.
constexpr int wrSecureCipherNone = 0;
constexpr int wrSecureCipherRC2 = 1;
constexpr int wrSecureCipherRC4 = 2;
constexpr int wrSecureCipherRC5 = 4;
constexpr int wrSecureCipherDES = 8;
constexpr int wrSecureCipherDES3 = 16;
constexpr int wrSecureCipherDESX = 32;
constexpr int wrSecureCipherAES = 64;
constexpr int wrSecureCipherSkipjack = 128;
constexpr int wrSecureCipherBlowfish = 256;
constexpr int wrSecureCipherUnknown = 4096;

// wrSecureHash values.
constexpr int wrSecureHashNone = 0;
constexpr int wrSecureHashMD5 = 1;
constexpr int wrSecureHashSHA = 2;
constexpr int wrSecureHashUnknown = 4096;

// wrSecureKeyExchange values.
constexpr int wrSecureKeyExchangeNone = 0;
constexpr int wrSecureKeyExchangeRSA = 1;
constexpr int wrSecureKeyExchangeKEA = 2;
constexpr int wrSecureKeyExchangeDH = 4;
constexpr int wrSecureKeyExchangeECDH = 8;
constexpr int wrSecureKeyExchangeUnknown = 4096;

// wrCertificate values (what CertificateStatus shows).
constexpr int wrCertificateNone = 0;
constexpr int wrCertificateValid = 1;
constexpr int wrCertificateNoMatch = 2;
constexpr int wrCertificateExpired = 3;
constexpr int wrCertificateRevoked = 4;
constexpr int wrCertificateUntrusted = 5;
constexpr int wrCertificateInvalid = 6;

}  // namespace kvsecure
