// How names, dates and verification results are written for the control's members, and the
// mappings the live tests cannot reach with the test CA's EC certificates.
#include "winsock/ocx/secure/session_details.h"

#include <gtest/gtest.h>
#include <openssl/x509_vfy.h>

#include <ctime>

#include "tools/testsupport/scoped_env.h"
#include "winsock/ocx/secure/openssl_util.h"
#include "winsock/ocx/secure/secure_status.h"

using namespace kvsecure;

namespace {

using NamePtr = std::unique_ptr<X509_NAME, OpenSslFree<X509_NAME_free>>;

// Builds a name from (field, value, set) entries; set -1 joins the previous part.
NamePtr makeName(std::initializer_list<std::tuple<const char*, const char*, int>> entries) {
    NamePtr name(X509_NAME_new());
    for (const auto& [field, value, set] : entries) {
        X509_NAME_add_entry_by_txt(name.get(), field, MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(value), -1, -1, set);
    }
    return name;
}

}  // namespace

TEST(SessionDetails, NamesAreWrittenMostSpecificFirst) {
    const struct {
        NamePtr name;
        const char* text;
    } cases[] = {
        {makeName({{"C", "NL", 0}, {"O", "Example Ltd", 0}, {"CN", "www.example.com", 0}}),
         "CN=www.example.com, O=Example Ltd, C=NL"},
        {makeName({{"ST", "Utrecht", 0}, {"L", "Zeist", 0}, {"emailAddress", "a@b.nl", 0}}),
         "E=a@b.nl, L=Zeist, S=Utrecht"},
        {makeName({{"O", "Smith, Jones", 0}, {"OU", "say \"hi\"", 0}, {"CN", " x", 0}}),
         "CN=\" x\", OU=\"say \"\"hi\"\"\", O=\"Smith, Jones\""},
        {makeName({{"O", "Zürich AG", 0}, {"CN", "a", 0}, {"CN", "b", -1}}),
         "CN=a + CN=b, O=Zürich AG"},
        {makeName({{"1.2.3.4", "odd", 0}}), "OID.1.2.3.4=odd"},
        {makeName({}), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatName(c.name.get()), c.text);
    EXPECT_EQ(formatName(nullptr), "");
}

TEST(SessionDetails, DatesAreWrittenInLocalTime) {
    ASN1_TIME* time = ASN1_TIME_new();
    ASSERT_EQ(ASN1_TIME_set_string(time, "20200101000000Z"), 1);
    for (const auto& [zone, text] :
         {std::pair{"UTC0", "2020-01-01 00:00:00"}, std::pair{"CET-1", "2020-01-01 01:00:00"},
          std::pair{"EST5", "2019-12-31 19:00:00"}}) {
        ScopedEnv env(EnvChanges{{"TZ", zone}});
        tzset();
        EXPECT_EQ(formatTime(time), text) << zone;
    }
    tzset();
    EXPECT_EQ(formatTime(nullptr), "");
    ASN1_TIME_free(time);
}

TEST(SessionDetails, VerificationResultsMapOntoCertificateValues) {
    const struct {
        long result;
        int status;
    } cases[] = {
        {X509_V_OK, wrCertificateValid},
        {X509_V_ERR_HOSTNAME_MISMATCH, wrCertificateNoMatch},
        {X509_V_ERR_IP_ADDRESS_MISMATCH, wrCertificateNoMatch},
        {X509_V_ERR_CERT_HAS_EXPIRED, wrCertificateExpired},
        {X509_V_ERR_CERT_NOT_YET_VALID, wrCertificateExpired},
        {X509_V_ERR_CERT_REVOKED, wrCertificateRevoked},
        {X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY, wrCertificateUntrusted},
        {X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN, wrCertificateUntrusted},
        {X509_V_ERR_CERT_SIGNATURE_FAILURE, wrCertificateInvalid},
        {X509_V_ERR_INVALID_PURPOSE, wrCertificateInvalid},
    };
    for (const auto& c : cases)
        EXPECT_EQ(certificateStatusFor(c.result), c.status) << c.result;
    // Ranking: the issuer outweighs revocation, revocation expiry, expiry a bad name.
    EXPECT_GT(certificateSeverity(wrCertificateUntrusted),
              certificateSeverity(wrCertificateRevoked));
    EXPECT_GT(certificateSeverity(wrCertificateRevoked), certificateSeverity(wrCertificateExpired));
    EXPECT_GT(certificateSeverity(wrCertificateExpired), certificateSeverity(wrCertificateInvalid));
    EXPECT_GT(certificateSeverity(wrCertificateInvalid), certificateSeverity(wrCertificateNoMatch));
}

TEST(SessionDetails, SuitesTheLiveTestsCannotNegotiateStillMap) {
    EXPECT_EQ(keyExchangeValue(NID_kx_dhe, NID_undef), wrSecureKeyExchangeDH);
    EXPECT_EQ(keyExchangeValue(NID_kx_rsa, NID_undef), wrSecureKeyExchangeRSA);
    EXPECT_EQ(keyExchangeValue(NID_kx_psk, NID_undef), wrSecureKeyExchangeUnknown);
    EXPECT_EQ(keyExchangeValue(NID_kx_any, NID_X25519), wrSecureKeyExchangeECDH);
    EXPECT_EQ(keyExchangeValue(NID_kx_any, TLSEXT_nid_unknown | 0x11ec),
              wrSecureKeyExchangeUnknown);
    EXPECT_EQ(cipherValue(NID_des_ede3_cbc), wrSecureCipherDES3);
    EXPECT_EQ(cipherValue(NID_rc4), wrSecureCipherRC4);
    EXPECT_EQ(cipherValue(NID_camellia_256_cbc), wrSecureCipherUnknown);
    EXPECT_EQ(hashValue(NID_md5), wrSecureHashMD5);
    EXPECT_EQ(hashValue(NID_sm3), wrSecureHashUnknown);
    EXPECT_EQ(protocolValue(TLS1_VERSION), wrSecureProtocolTLS1);
    EXPECT_EQ(protocolValue(DTLS1_2_VERSION), wrSecureProtocolUnknown);
}
