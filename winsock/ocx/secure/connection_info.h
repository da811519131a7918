#pragma once
// What a secure connection reports about itself: the values behind the control's read-only
// members CertificateStatus, CertificateExpires, CertificateIssued, CertificateIssuer,
// CertificateSubject, SecureCipher, SecureHash, SecureKeyExchange, CipherStrength and
// HashStrength. All zero and empty until a handshake has finished.
//
// How an OpenSSL session lands on the control's enumerations (the values are in
// winsock/ocx/base/constants.h):
// - protocol: every TLS version (1.0 to 1.3) is wrSecureProtocolTLS1, the family the bit names.
// - cipher: AES in any mode (GCM, CCM, CBC) is AES; 3DES is DES3, DES is DES, RC4 and RC2 are
//   themselves. ChaCha20-Poly1305, Camellia, ARIA and SEED have no value of their own and are
//   reported as wrSecureCipherUnknown: naming the nearest listed cipher would claim a different
//   algorithm. A null cipher is wrSecureCipherNone. The strength is the cipher's key size in bits.
// - hash: the suite's record MAC digest; AEAD suites (all of TLS 1.3, the GCM and ChaCha20 suites
//   of TLS 1.2) have none, so their handshake (PRF) digest stands in: TLS_AES_256_GCM_SHA384 gives
//   SHA with strength 384. The SHA-1 and SHA-2 family are wrSecureHashSHA, MD5 is MD5, others
//   unknown. The strength is the digest's output size in bits (SHA-1 160, SHA-256 256).
// - key exchange: ECDHE (and ECDHE-PSK) is ECDH, DHE (and DHE-PSK) is DH, RSA (and RSA-PSK) is
//   RSA. TLS 1.3 suites do not name one, so the negotiated group decides: the finite-field groups
//   (ffdhe2048 ...) give DH, the elliptic curves and X25519/X448 give ECDH.
// - issuer and subject: the one-line form Windows shows, most specific part first:
//   "CN=www.example.com, O=Example Ltd, C=NL". Attribute names are the short X.500 ones (CN, O,
//   OU, L, S, C, E, STREET, DC, ...), others "OID.1.2.3"; a value holding one of , + = " < > # ;
//   or a line break, or starting or ending with a space, is put in double quotes with inner
//   quotes doubled; several values of one part are joined with " + ". Text is UTF-8.
// - issued and expires: "YYYY-MM-DD HH:MM:SS" in local time.
// - certificateStatus is the wrCertificate value (the getter shows it); policyResult keeps
//   OpenSSL's own verification result (X509_V_OK, X509_V_ERR_...) for whoever needs the detail.

#include <string>

namespace kvsecure {

struct SecureConnectionInfo {
    int protocol = 0;           // wrSecureProtocol value of the negotiated version
    int cipher = 0;             // wrSecureCipher
    int cipherStrength = 0;     // bits
    int hash = 0;               // wrSecureHash
    int hashStrength = 0;       // bits
    int keyExchange = 0;        // wrSecureKeyExchange
    int certificateStatus = 0;  // wrCertificate value
    long policyResult = 0;      // X509 verification result, 0 when valid
    std::string issuer;         // "CN=..., O=..., C=..."
    std::string subject;
    std::string issued;  // "YYYY-MM-DD HH:MM:SS", local time
    std::string expires;
    std::string versionName;  // OpenSSL's names, for traces: "TLSv1.3"
    std::string suiteName;    // "TLS_AES_256_GCM_SHA384"
};

}  // namespace kvsecure
