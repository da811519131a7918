#include "tools/testsupport/test_ca.h"

#include <arpa/inet.h>

#include <chrono>
#include <ctime>

#include "tools/testsupport/run_program.h"

namespace {

// The minimal "openssl ca" set-up: it is the only openssl command that can issue a
// certificate for a chosen period in the past, which the expired certificate needs.
const char kCaConfig[] = R"([ca]
default_ca = test_ca
[test_ca]
database = index.txt
new_certs_dir = issued
serial = serial.txt
default_md = sha256
policy = any_name
copy_extensions = none
unique_subject = no
[any_name]
commonName = supplied
)";

std::string utcStamp(std::chrono::system_clock::time_point when) {
    std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%SZ", &tm);
    return text;
}

}  // namespace

std::string subjectAltNames(const std::vector<std::string>& hosts) {
    std::string text;
    for (const std::string& host : hosts) {
        in_addr v4{};
        in6_addr v6{};
        bool ip = inet_pton(AF_INET, host.c_str(), &v4) == 1 ||
                  inet_pton(AF_INET6, host.c_str(), &v6) == 1;
        text += (text.empty() ? "" : ",") + std::string(ip ? "IP:" : "DNS:") + host;
    }
    return text;
}

bool TestCa::run(const std::vector<std::string>& args) {
    RunOptions options;
    options.workDir = m_dir.path();
    options.timeoutMs = 20000;
    ProgramResult result = runProgram(args, options);
    if (!result.started || result.exitCode != 0) {
        m_error = args[0] + " " + (args.size() > 1 ? args[1] : "") + " failed: " + result.error +
                  result.err;
        return false;
    }
    return true;
}

bool TestCa::sign(const std::string& name, const std::vector<std::string>& hosts,
                  const std::vector<std::string>& validity, CertFiles& files) {
    const std::string dir = m_dir.path() + "/";
    files = {dir + name + ".pem", dir + name + ".key"};
    const std::string csr = dir + name + ".csr";
    const std::string ext = dir + name + ".ext";
    if (!writeFile(ext,
                   "[server]\nbasicConstraints = critical,CA:FALSE\n"
                   "keyUsage = critical,digitalSignature\n"
                   "extendedKeyUsage = serverAuth\nsubjectAltName = " +
                       subjectAltNames(hosts) + "\n")) {
        m_error = "cannot write " + ext;
        return false;
    }
    std::vector<std::string> args = {"openssl", "ca",          "-batch", "-notext",      "-config",
                                     "ca.cnf",  "-cert",       m_caCert, "-keyfile",     m_caKey,
                                     "-in",     csr,           "-out",   files.certFile, "-extfile",
                                     ext,       "-extensions", "server"};
    args.insert(args.end(), validity.begin(), validity.end());
    return run({"openssl", "req", "-new", "-newkey", "ec", "-pkeyopt",
                "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", files.keyFile, "-out", csr,
                "-subj", "/CN=" + (hosts.empty() ? name : hosts.front())}) &&
           run(args);
}

bool TestCa::issue(const std::string& name, const std::vector<std::string>& hosts, int days,
                   CertFiles& files) {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::vector<std::string> validity;
    if (days >= 0) {
        validity = {"-days", std::to_string(days)};
    } else {
        validity = {"-startdate", utcStamp(now + hours(24 * (days - 1))), "-enddate",
                    utcStamp(now + hours(24 * days))};
    }
    return sign(name, hosts, validity, files);
}

bool TestCa::create(const std::vector<std::string>& hosts) {
    if (!m_dir.ok()) {
        m_error = "cannot make a temporary folder";
        return false;
    }
    const std::string dir = m_dir.path() + "/";
    m_caCert = dir + "ca.pem";
    m_caKey = dir + "ca.key";
    if (!writeFile(dir + "ca.cnf", kCaConfig) || !writeFile(dir + "index.txt", "") ||
        !writeFile(dir + "serial.txt", "1000\n") || m_dir.makeDir("issued").empty()) {
        m_error = "cannot write the CA's files in " + dir;
        return false;
    }
    const std::string ec = "ec_paramgen_curve:prime256v1";
    if (!run({"openssl", "req",
              "-x509",   "-newkey",
              "ec",      "-pkeyopt",
              ec,        "-nodes",
              "-keyout", m_caKey,
              "-out",    m_caCert,
              "-days",   "30",
              "-subj",   "/CN=Vantel Test CA",
              "-addext", "basicConstraints=critical,CA:TRUE",
              "-addext", "keyUsage=critical,keyCertSign,cRLSign"})) {
        return false;
    }
    if (!sign("server", hosts, {"-days", "30"}, m_server) ||
        !sign("expired", hosts, {"-startdate", "20200101000000Z", "-enddate", "20200102000000Z"},
              m_expired) ||
        !sign("other-host", {"other.invalid", "192.0.2.1"}, {"-days", "30"}, m_otherHost)) {
        return false;
    }
    // The untrusted one names the right hosts, so only its issuer is wrong.
    m_untrusted = {dir + "untrusted.pem", dir + "untrusted.key"};
    return run({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", ec, "-nodes", "-keyout",
                m_untrusted.keyFile, "-out", m_untrusted.certFile, "-days", "30", "-subj",
                "/CN=Untrusted Issuer", "-addext", "subjectAltName=" + subjectAltNames(hosts)});
}
