#pragma once
// Internal to the secure channel: reading a certificate store (a PEM file, a PKCS#12 file or a
// folder of them) and picking the certificate a name asks for. The rules are in credentials.h.

#include <string>
#include <vector>

#include "winsock/ocx/secure/openssl_util.h"

namespace kvsecure {

// A certificate with its private key and the other certificates of its file (its chain).
struct StoreIdentity {
    X509Ptr certificate;
    KeyPtr key;
    std::vector<X509Ptr> chain;
    std::string subject;  // one-line form
    std::string file;     // where it was found
};

// storePath turns the certificate store setting into the file or folder to read: a path as it
// is; a plain name that is no file or folder here names $XDG_DATA_HOME/Kestrine/certs/NAME
// (XDG_DATA_HOME defaulting to ~/.local/share); empty is the store "MY".
std::string storePath(const std::string& store);

// findIdentity reads store and picks the certificate for name. Returns code 0 and fills
// identity, or wrErrorSecurityCredentials (12103) with a message when the store is missing or
// unreadable, no certificate matches, or none that matches has its private key in the store.
SecureStatus findIdentity(const std::string& store, const std::string& name,
                          StoreIdentity& identity);

}  // namespace kvsecure
