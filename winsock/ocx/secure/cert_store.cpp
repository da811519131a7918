#include "winsock/ocx/secure/cert_store.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "winsock/ocx/secure/session_details.h"

namespace kvsecure {
namespace {

namespace fs = std::filesystem;

// Certificate files are a few KiB; anything far larger is not one.
constexpr std::uintmax_t kMaxStoreFile = 4u << 20;

struct StoreFile {
    std::string path;
    std::vector<X509Ptr> certificates;
    std::vector<KeyPtr> keys;
};

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool readWhole(const std::string& path, std::string& bytes) {
    std::error_code error;
    std::uintmax_t size = fs::file_size(path, error);
    if (error || size > kMaxStoreFile) return false;
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

BioPtr memoryBio(const std::string& bytes) {
    return BioPtr(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
}

// A PKCS#12 file without a password (or with the empty one): its certificate first, then the
// others it carries.
bool readPkcs12(const std::string& bytes, StoreFile& file) {
    BioPtr bio = memoryBio(bytes);
    Pkcs12Ptr p12(d2i_PKCS12_bio(bio.get(), nullptr));
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    STACK_OF(X509)* others = nullptr;
    // The empty password also tries "no password", as files made either way exist.
    if (!p12 || PKCS12_parse(p12.get(), "", &key, &certificate, &others) != 1) return false;
    if (key) file.keys.emplace_back(key);
    if (certificate) file.certificates.emplace_back(certificate);
    while (others && sk_X509_num(others) > 0)
        file.certificates.emplace_back(sk_X509_shift(others));
    sk_X509_free(others);
    return true;
}

// PEM blocks are decoded one by one, so that an encrypted key (which would make OpenSSL ask for
// a password on the terminal) is skipped instead of read.
void readPem(const std::string& bytes, StoreFile& file) {
    BioPtr bio = memoryBio(bytes);
    char* name = nullptr;
    char* header = nullptr;
    unsigned char* data = nullptr;
    long length = 0;
    while (PEM_read_bio(bio.get(), &name, &header, &data, &length) == 1) {
        const std::string type = name;
        const unsigned char* p = data;
        if (type == "CERTIFICATE" || type == "X509 CERTIFICATE") {
            if (X509* certificate = d2i_X509(nullptr, &p, length)) {
                file.certificates.emplace_back(certificate);
            }
        } else if (type.ends_with("PRIVATE KEY") && type != "ENCRYPTED PRIVATE KEY" &&
                   header[0] == '\0') {
            if (EVP_PKEY* key = d2i_AutoPrivateKey(nullptr, &p, length)) {
                file.keys.emplace_back(key);
            }
        }
        OPENSSL_free(name);
        OPENSSL_free(header);
        OPENSSL_free(data);
    }
    // The loop ends on "no start line", which is no failure.
    ERR_clear_error();
}

StoreFile readStoreFile(const std::string& path) {
    StoreFile file{path, {}, {}};
    std::string bytes;
    if (!readWhole(path, bytes)) return file;
    std::string extension = lowered(fs::path(path).extension().string());
    bool pkcs12 = readPkcs12(bytes, file);
    if (!pkcs12 && (extension == ".p12" || extension == ".pfx")) {
        ERR_clear_error();
        return file;  // a PKCS#12 file that cannot be opened has nothing else to offer
    }
    if (!pkcs12) readPem(bytes, file);
    ERR_clear_error();
    return file;
}

bool keyFits(X509* certificate, EVP_PKEY* key) {
    bool fits = X509_check_private_key(certificate, key) == 1;
    ERR_clear_error();
    return fits;
}

}  // namespace

std::string storePath(const std::string& store) {
    std::string name = store.empty() ? std::string("MY") : store;
    std::error_code error;
    if (name.find('/') != std::string::npos || fs::exists(name, error)) return name;
    fs::path base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = fs::path(home) / ".local" / "share";
    } else {
        return name;
    }
    return (base / "Kestrine" / "certs" / name).string();
}

SecureStatus findIdentity(const std::string& store, const std::string& name,
                          StoreIdentity& identity) {
    std::error_code error;
    std::vector<StoreFile> files;
    if (fs::is_directory(store, error)) {
        std::vector<std::string> paths;
        for (const fs::directory_entry& entry : fs::directory_iterator(store, error)) {
            if (entry.is_regular_file(error)) paths.push_back(entry.path().string());
        }
        std::sort(paths.begin(), paths.end());
        for (const std::string& path : paths)
            files.push_back(readStoreFile(path));
    } else if (fs::is_regular_file(store, error)) {
        files.push_back(readStoreFile(store));
    } else {
        return {wrErrorSecurityCredentials,
                "certificate store \"" + store + "\" is not a file or folder"};
    }

    const std::string wanted = lowered(name);
    bool matchedWithoutKey = false;
    for (StoreFile& file : files) {
        for (X509Ptr& certificate : file.certificates) {
            std::string subject = formatName(X509_get_subject_name(certificate.get()));
            if (lowered(subject).find(wanted) == std::string::npos) continue;
            // The key is looked for in the certificate's own file first, then everywhere.
            EVP_PKEY* key = nullptr;
            for (const KeyPtr& candidate : file.keys) {
                if (!key && keyFits(certificate.get(), candidate.get())) key = candidate.get();
            }
            for (const StoreFile& other : files) {
                for (const KeyPtr& candidate : other.keys) {
                    if (!key && keyFits(certificate.get(), candidate.get())) key = candidate.get();
                }
            }
            if (!key) {
                matchedWithoutKey = true;
                continue;
            }
            EVP_PKEY_up_ref(key);
            identity.key.reset(key);
            identity.subject = subject;
            identity.file = file.path;
            for (X509Ptr& other : file.certificates) {
                if (other != certificate) identity.chain.push_back(std::move(other));
            }
            identity.certificate = std::move(certificate);
            return {};
        }
    }
    if (matchedWithoutKey) {
        return {wrErrorSecurityCredentials, "the private key of the certificate \"" + name +
                                                "\" is not in the store \"" + store + "\""};
    }
    return {wrErrorSecurityCredentials,
            "no certificate for \"" + name + "\" in the store \"" + store + "\""};
}

}  // namespace kvsecure
