#include "renamer/http/response_head.h"

#include <cctype>
#include <vector>

namespace vantel {

namespace modHTTP {

namespace {

std::string_view trimSpaces(std::string_view text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

// The value of the leading decimal digits (after blanks), capped at cap; nullopt without digits.
std::optional<int64_t> leadingNumber(std::string_view text, int64_t cap) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i == text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > cap) value = cap;
    }
    return value;
}

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string_view> headerLines(std::string_view block) {
    std::vector<std::string_view> lines;
    while (!block.empty()) {
        size_t lf = block.find('\n');
        std::string_view line = block.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(trimSpaces(line));
        if (lf == std::string_view::npos) break;
        block.remove_prefix(lf + 1);
    }
    return lines;
}

}  // namespace

ResponseHead ParseResponseHead(std::string_view block) {
    ResponseHead head;
    std::vector<std::string_view> lines = headerLines(block);
    if (lines.empty()) return head;

    size_t space = lines[0].find(' ');
    if (space != std::string_view::npos)
        head.status =
            static_cast<int32_t>(leadingNumber(lines[0].substr(space + 1), 999999).value_or(0));

    for (size_t i = 1; i < lines.size(); ++i) {
        size_t colon = lines[i].find(':');
        if (colon == std::string_view::npos) continue;
        std::string name = upperAscii(lines[i].substr(0, colon));
        std::string_view value = lines[i].substr(colon + 1);
        if (name == "LOCATION" && !head.location) {
            head.location = std::string(trimSpaces(value));
        } else if (name == "CONTENT-LENGTH") {
            head.content_length = leadingNumber(value, INT32_MAX).value_or(-1);
        } else if (name == "RETRY-AFTER") {
            std::string_view seconds = trimSpaces(value);
            if (seconds.find_first_not_of("0123456789") == std::string_view::npos)
                head.retry_after = leadingNumber(seconds, INT32_MAX);
        }
    }
    return head;
}

}  // namespace modHTTP

}  // namespace vantel
