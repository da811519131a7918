#include "winsock/ocx/secure/session_details.h"

#include <openssl/asn1.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509_vfy.h>

#include <ctime>
#include <vector>

#include "winsock/ocx/secure/secure_status.h"

namespace kvsecure {
namespace {

// The short X.500 attribute names Windows uses in its one-line names.
const char* attributeName(int nid) {
    switch (nid) {
        case NID_commonName:
            return "CN";
        case NID_organizationName:
            return "O";
        case NID_organizationalUnitName:
            return "OU";
        case NID_localityName:
            return "L";
        case NID_stateOrProvinceName:
            return "S";
        case NID_countryName:
            return "C";
        case NID_pkcs9_emailAddress:
            return "E";
        case NID_streetAddress:
            return "STREET";
        case NID_domainComponent:
            return "DC";
        case NID_serialNumber:
            return "SERIALNUMBER";
        case NID_title:
            return "T";
        case NID_givenName:
            return "G";
        case NID_initials:
            return "I";
        case NID_surname:
            return "SN";
        case NID_postalCode:
            return "PostalCode";
        case NID_description:
            return "Description";
        default:
            return nullptr;
    }
}

std::string quoted(const std::string& value) {
    bool quote = value.empty() || value.front() == ' ' || value.back() == ' ' ||
                 value.find_first_of(",+=\"<>#;\r\n") != std::string::npos;
    if (!quote) return value;
    std::string text = "\"";
    for (char c : value) {
        text += c;
        if (c == '"') text += '"';
    }
    return text + "\"";
}

std::string entryText(const X509_NAME_ENTRY* entry) {
    const ASN1_OBJECT* object = X509_NAME_ENTRY_get_object(entry);
    std::string label;
    if (const char* name = attributeName(OBJ_obj2nid(object))) {
        label = name;
    } else {
        char oid[128];
        OBJ_obj2txt(oid, sizeof oid, object, 1);
        label = std::string("OID.") + oid;
    }
    unsigned char* utf8 = nullptr;
    int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(entry));
    std::string value = length > 0 ? std::string(reinterpret_cast<char*>(utf8), length) : "";
    OPENSSL_free(utf8);
    return label + "=" + quoted(value);
}

int digestBits(int nid) {
    const EVP_MD* md = EVP_get_digestbynid(nid);
    return md ? EVP_MD_get_size(md) * 8 : 0;
}

}  // namespace

int protocolValue(int version) {
    switch (version) {
        case TLS1_VERSION:
        case TLS1_1_VERSION:
        case TLS1_2_VERSION:
        case TLS1_3_VERSION:
            return wrSecureProtocolTLS1;
        case SSL3_VERSION:
            return wrSecureProtocolSSL3;
        default:
            return wrSecureProtocolUnknown;
    }
}

int cipherValue(int cipherNid) {
    switch (cipherNid) {
        case NID_undef:
            return wrSecureCipherNone;
        case NID_aes_128_gcm:
        case NID_aes_256_gcm:
        case NID_aes_128_ccm:
        case NID_aes_256_ccm:
        case NID_aes_128_cbc:
        case NID_aes_256_cbc:
            return wrSecureCipherAES;
        case NID_des_ede3_cbc:
            return wrSecureCipherDES3;
        case NID_des_cbc:
            return wrSecureCipherDES;
        case NID_rc4:
            return wrSecureCipherRC4;
        case NID_rc2_cbc:
            return wrSecureCipherRC2;
        default:
            return wrSecureCipherUnknown;
    }
}

int hashValue(int digestNid) {
    switch (digestNid) {
        case NID_undef:
            return wrSecureHashNone;
        case NID_sha1:
        case NID_sha224:
        case NID_sha256:
        case NID_sha384:
        case NID_sha512:
            return wrSecureHashSHA;
        case NID_md5:
            return wrSecureHashMD5;
        default:
            return wrSecureHashUnknown;
    }
}

int keyExchangeValue(int kxNid, int groupNid) {
    switch (kxNid) {
        case NID_kx_ecdhe:
        case NID_kx_ecdhe_psk:
            return wrSecureKeyExchangeECDH;
        case NID_kx_dhe:
        case NID_kx_dhe_psk:
            return wrSecureKeyExchangeDH;
        case NID_kx_rsa:
        case NID_kx_rsa_psk:
            return wrSecureKeyExchangeRSA;
        case NID_kx_any:
            break;  // TLS 1.3: the group decides
        default:
            return wrSecureKeyExchangeUnknown;
    }
    switch (groupNid) {
        case NID_ffdhe2048:
        case NID_ffdhe3072:
        case NID_ffdhe4096:
        case NID_ffdhe6144:
        case NID_ffdhe8192:
            return wrSecureKeyExchangeDH;
        case NID_undef:
            return wrSecureKeyExchangeUnknown;
        default:
            // Every other group TLS names is an elliptic curve (X25519 and X448 included);
            // groups OpenSSL does not know come back with the unknown-group marker bit.
            return (groupNid & TLSEXT_nid_unknown) ? wrSecureKeyExchangeUnknown
                                                   : wrSecureKeyExchangeECDH;
    }
}

int certificateStatusFor(long verifyResult) {
    switch (verifyResult) {
        case X509_V_OK:
            return wrCertificateValid;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
        case X509_V_ERR_EMAIL_MISMATCH:
            return wrCertificateNoMatch;
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return wrCertificateExpired;
        case X509_V_ERR_CERT_REVOKED:
            return wrCertificateRevoked;
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_CERT_UNTRUSTED:
        case X509_V_ERR_CERT_REJECTED:
            return wrCertificateUntrusted;
        default:
            return wrCertificateInvalid;
    }
}

int certificateSeverity(int status) {
    switch (status) {
        case wrCertificateUntrusted:
            return 5;
        case wrCertificateRevoked:
            return 4;
        case wrCertificateExpired:
            return 3;
        case wrCertificateInvalid:
            return 2;
        case wrCertificateNoMatch:
            return 1;
        default:
            return 0;
    }
}

std::string formatName(const X509_NAME* name) {
    if (!name) return "";
    // Group the entries by the part (RDN) they belong to, in encoded order...
    std::vector<std::string> parts;
    int lastSet = -1;
    for (int i = 0; i < X509_NAME_entry_count(name); ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
        int set = X509_NAME_ENTRY_set(entry);
        if (parts.empty() || set != lastSet) {
            parts.push_back(entryText(entry));
        } else {
            parts.back() += " + " + entryText(entry);
        }
        lastSet = set;
    }
    // ...and write them most specific first, as Windows shows names.
    std::string text;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        text += (text.empty() ? "" : ", ") + *it;
    }
    return text;
}

std::string formatTime(const ASN1_TIME* time) {
    std::tm utc{};
    if (!time || ASN1_TIME_to_tm(time, &utc) != 1) return "";
    std::time_t when = timegm(&utc);
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

SecureConnectionInfo describeSession(const SSL* ssl) {
    SecureConnectionInfo info;
    info.protocol = protocolValue(SSL_version(ssl));
    info.versionName = SSL_get_version(ssl);
    if (const SSL_CIPHER* suite = SSL_get_current_cipher(ssl)) {
        info.suiteName = SSL_CIPHER_get_name(suite);
        info.cipher = cipherValue(SSL_CIPHER_get_cipher_nid(suite));
        info.cipherStrength = SSL_CIPHER_get_bits(suite, nullptr);
        int digest = SSL_CIPHER_get_digest_nid(suite);
        if (digest == NID_undef) {
            const EVP_MD* prf = SSL_CIPHER_get_handshake_digest(suite);
            digest = prf ? EVP_MD_get_type(prf) : NID_undef;
        }
        info.hash = hashValue(digest);
        info.hashStrength = digestBits(digest);
        // SSL_get_negotiated_group takes a non-const SSL although it only reads.
        info.keyExchange = keyExchangeValue(SSL_CIPHER_get_kx_nid(suite),
                                            SSL_get_negotiated_group(const_cast<SSL*>(ssl)));
    }
    if (const X509* peer = SSL_get0_peer_certificate(ssl)) {
        info.issuer = formatName(X509_get_issuer_name(peer));
        info.subject = formatName(X509_get_subject_name(peer));
        info.issued = formatTime(X509_get0_notBefore(peer));
        info.expires = formatTime(X509_get0_notAfter(peer));
    }
    return info;
}

}  // namespace kvsecure
