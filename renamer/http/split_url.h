#pragma once
// SplitURL: the URL splitter of the HTTP client (used by modHTTP.GetData; public only so that
// its tests can reach it).
//
// An absolute URL "http://host[:port]/path?query" or "https://...", a URL without a scheme
// ("host/path"), or a path alone ("/path", sent to the host of the last URL that named one).
//
//   UrlParts parts;
//   LastOrigin last;
//   SplitURL("https://api.example.com/shows/1", parts, last);
//   // parts.secure, parts.host "api.example.com", parts.port 443, parts.path "/shows/1",
//   // parts.file "1"; last now names api.example.com:443 (secure)

#include <cstdint>
#include <string>

namespace vantel {

namespace modHTTP {

struct UrlParts {
    bool secure = false;  // kept as it was unless the URL has a scheme (or is a path alone)
    std::string host;
    int32_t port = 80;
    std::string path;  // from the first "/" on, query included; "/" when the URL has none
    std::string file;  // the path's last segment without its query; "/" when empty
};

// The last URL that named a host: where a path alone is sent. A path-only URL also reuses the
// port and the secure flag of that URL, so a relative redirect stays on the same server.
struct LastOrigin {
    std::string host;  // empty until a URL names a host
    int32_t port = 80;
    bool secure = false;
};

// SplitURL splits url into parts (parts.secure is an input too: it is changed only by a scheme
// or a path-only URL) and remembers a named host in last. False when the URL is unusable: a
// scheme other than http and https, a port that is 0, not a number or beyond 65535, or a path
// alone while last names no host yet.
bool SplitURL(const std::string& url, UrlParts& parts, LastOrigin& last);

}  // namespace modHTTP

}  // namespace vantel
