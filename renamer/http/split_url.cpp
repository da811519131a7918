#include "renamer/http/split_url.h"

#include <cctype>

namespace vantel {

namespace modHTTP {

namespace {

std::string trimSpaces(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string lowerAscii(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The value of the leading decimal digits of text; 0 when there are none, -1 beyond 65535.
int32_t leadingPort(const std::string& text) {
    int32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > 65535) return -1;
    }
    return value;
}

std::string lastSegment(const std::string& path) {
    std::string file = path;
    for (size_t slash = file.find('/'); slash != std::string::npos; slash = file.find('/'))
        file.erase(0, slash + 1);
    size_t query = file.find('?');
    if (query != std::string::npos) file.erase(query);
    return file.empty() ? "/" : file;
}

}  // namespace

bool SplitURL(const std::string& url, UrlParts& parts, LastOrigin& last) {
    std::string rest = trimSpaces(url);
    parts.port = 80;

    size_t scheme_end = rest.find("://");
    bool has_scheme = scheme_end != std::string::npos;
    if (has_scheme) {
        std::string scheme = lowerAscii(rest.substr(0, scheme_end));
        if (scheme == "https") {
            parts.secure = true;
            parts.port = 443;
        } else if (scheme == "http") {
            parts.secure = false;
            parts.port = 80;
        } else {
            return false;
        }
        rest.erase(0, scheme_end + 3);
    }

    size_t slash = rest.find('/');
    if (slash != std::string::npos) {
        parts.host = rest.substr(0, slash);
        parts.path = rest.substr(slash);
    } else {
        parts.host = rest;
        parts.path = "/";
    }

    size_t colon = parts.host.find(':');
    if (colon != std::string::npos) {
        int32_t port = leadingPort(parts.host.substr(colon + 1));
        if (port <= 0) return false;
        parts.port = port;
        parts.host.erase(colon);
    }

    parts.file = lastSegment(parts.path);

    if (parts.host.empty()) {
        if (last.host.empty()) return false;
        parts.host = last.host;
        // A path alone belongs to the server of the last URL: same port, same channel.
        if (!has_scheme && colon == std::string::npos) {
            parts.port = last.port;
            parts.secure = last.secure;
        }
    } else {
        last.host = parts.host;
        last.port = parts.port;
        last.secure = parts.secure;
    }
    return true;
}

}  // namespace modHTTP

}  // namespace vantel
