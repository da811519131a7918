// The process's host table: the compacted text of the loaded file and its path, under one lock.

#include "winsock/ocx/socket/host_table.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "winsock/ocx/base/constants.h"
#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/socket/resolver.h"

namespace kvlink {
namespace {

// No hosts file comes near this; a larger file is refused rather than read without bound.
constexpr std::uintmax_t kLargestFile = 16u << 20;
// The address token is taken up to this many characters.
constexpr size_t kLongestAddressToken = 127;

struct HostTable {
    std::mutex lock;
    std::string path;
    std::string text;  // compacted; empty when no table is loaded
};

HostTable& table() {
    static HostTable instance;
    return instance;
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// Calls visit(address, tokens) for each usable line of the table, in order, until it returns
// true. The caller holds the lock.
template <typename Visit>
bool eachLine(const std::string& text, Visit visit) {
    size_t start = 0;
    while (start < text.size() && text[start] != '\0') {
        size_t end = text.find('\0', start);
        std::istringstream words(text.substr(start, end - start));
        start = end + 1;
        std::vector<std::string> tokens;
        for (std::string word; words >> word;)
            tokens.push_back(word);
        uint32_t address = 0;
        if (tokens.size() < 2 ||
            !parseDottedAddress(tokens[0].substr(0, kLongestAddressToken), &address) ||
            address == 0)
            continue;
        if (visit(address, tokens)) return true;
    }
    return false;
}

// The file a bare name stands for: the working folder first, then each folder of PATH, as the
// system's search path looks. "" when none holds it.
std::filesystem::path findFile(const std::string& fileName) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fileName.find('/') != std::string::npos) return fs::absolute(fileName, error);
    std::vector<fs::path> folders{fs::current_path(error)};
    if (const char* path = std::getenv("PATH")) {
        std::istringstream entries(path);
        for (std::string folder; std::getline(entries, folder, ':');)
            folders.emplace_back(folder.empty() ? "." : folder);
    }
    for (const fs::path& folder : folders) {
        fs::path candidate = fs::absolute(folder / fileName, error);
        if (!error && fs::exists(candidate, error)) return candidate;
    }
    return {};
}

}  // namespace

std::string compactHostText(std::string_view text) {
    std::string out;
    std::string line;
    bool comment = false;
    auto endLine = [&] {
        if (!line.empty() && line.back() == ' ') line.pop_back();
        if (!line.empty()) {
            out += line;
            out += '\0';
        }
        line.clear();
        comment = false;
    };
    for (char c : text) {
        if (c == '\n') {
            endLine();
            continue;
        }
        if (c == '\r' || comment) continue;
        if (c == '#') {
            comment = true;
            continue;
        }
        if (static_cast<unsigned char>(c) < '!') {
            if (line.empty() || line.back() != ' ') line += ' ';
            continue;
        }
        line += c;
    }
    endLine();
    out += '\0';
    return out;
}

int loadHostTable(const std::string& fileName) {
    HostTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.path.clear();
    t.text.clear();
    if (fileName.empty()) return 0;

    namespace fs = std::filesystem;
    fs::path path = findFile(fileName);
    std::error_code error;
    // A folder, a pipe or a device is not a hosts file, and reading a pipe could wait forever.
    if (path.empty() || !fs::is_regular_file(path, error)) {
        SetSocketError(wrErrorFileNotFound);
        return -1;
    }
    std::uintmax_t size = fs::file_size(path, error);
    if (error) {
        SetSocketError(wrErrorFileNotFound);
        return -1;
    }
    if (size > kLargestFile) {
        SetSocketError(wrErrorOutOfMemory);
        return -1;
    }
    std::ifstream in(path, std::ios::binary);
    std::string content(static_cast<size_t>(size), '\0');
    if (!in || !in.read(content.data(), static_cast<std::streamsize>(size))) {
        SetSocketError(wrErrorAccessDenied);
        return -1;
    }
    std::string compacted = compactHostText(content);
    int lines = 0;
    for (char c : compacted)
        lines += c == '\0';
    --lines;  // the final NUL ends the table, not a line
    if (lines == 0) return 0;
    t.path = path.string();
    t.text = std::move(compacted);
    return lines;
}

std::string hostTablePath() {
    HostTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.path;
}

bool hostTableAddress(const std::string& name, uint32_t* address) {
    HostTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    return eachLine(t.text, [&](uint32_t lineAddress, const std::vector<std::string>& tokens) {
        for (size_t i = 1; i < tokens.size(); ++i) {
            if (sameName(tokens[i], name)) {
                *address = lineAddress;
                return true;
            }
        }
        return false;
    });
}

bool hostTableName(uint32_t address, std::string* name) {
    HostTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    return eachLine(t.text, [&](uint32_t lineAddress, const std::vector<std::string>& tokens) {
        if (lineAddress != address) return false;
        *name = tokens[1];
        return true;
    });
}

}  // namespace kvlink
