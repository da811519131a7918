#pragma once
// A certificate authority made at test time with the openssl command-line tool, and server
// certificates for TLS tests: one the CA vouches for, an expired one, one for another host and
// a self-signed one from an issuer nobody trusts. EC keys (prime256v1), so making them all
// takes a fraction of a second. Everything is PEM, in a temporary folder removed with the
// object.
//
//   TestCa ca;
//   ASSERT_TRUE(ca.create()) << ca.error();
//   server.start({.tlsCertFile = ca.server().certFile, .tlsKeyFile = ca.server().keyFile});
//   // a client trusting ca.caCertFile() accepts it for 127.0.0.1 and localhost

#include <string>
#include <vector>

#include "tools/testsupport/temp_dir.h"

struct CertFiles {
    std::string certFile;  // PEM certificate
    std::string keyFile;   // PEM private key, unencrypted
};

class TestCa {
  public:
    // Makes the CA and the four server certificates. hosts are the names the good, expired and
    // untrusted certificates are for (IP addresses become IP entries of the subject alternative
    // name, others DNS entries). False (with error()) when openssl is missing or fails.
    bool create(const std::vector<std::string>& hosts = {"127.0.0.1", "localhost"});

    // Issues one more certificate signed by the CA for hosts, valid for days from now (a
    // negative number gives one that expired that many days ago). False on failure.
    bool issue(const std::string& name, const std::vector<std::string>& hosts, int days,
               CertFiles& files);

    const std::string& caCertFile() const { return m_caCert; }
    const std::string& caKeyFile() const { return m_caKey; }
    const CertFiles& server() const { return m_server; }        // valid, for hosts
    const CertFiles& expired() const { return m_expired; }      // expired in 2020, for hosts
    const CertFiles& otherHost() const { return m_otherHost; }  // valid, for other.invalid
    const CertFiles& untrusted() const { return m_untrusted; }  // self-signed, for hosts
    const std::string& folder() const { return m_dir.path(); }
    const std::string& error() const { return m_error; }

  private:
    bool run(const std::vector<std::string>& args);
    bool sign(const std::string& name, const std::vector<std::string>& hosts,
              const std::vector<std::string>& validity, CertFiles& files);

    TempDir m_dir{"vantel-ca"};
    std::string m_caCert, m_caKey;
    CertFiles m_server, m_expired, m_otherHost, m_untrusted;
    std::string m_error;
};

// Returns the subjectAltName text for hosts, e.g. "IP:127.0.0.1,DNS:localhost".
std::string subjectAltNames(const std::vector<std::string>& hosts);
