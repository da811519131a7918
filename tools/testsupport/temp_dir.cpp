#include "tools/testsupport/temp_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

TempDir::TempDir(const std::string& prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) != nullptr) m_path = buffer.data();
}

TempDir::~TempDir() {
    if (!m_path.empty()) removeTree(m_path);
}

std::string TempDir::file(const std::string& relative) const {
    return m_path + "/" + relative;
}

std::string TempDir::makeDir(const std::string& relative) const {
    std::error_code ec;
    std::string path = file(relative);
    fs::create_directories(path, ec);
    return ec || !fs::is_directory(path, ec) ? std::string() : path;
}

bool writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    return static_cast<bool>(out);
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return content.str();
}

namespace {

// A folder without write or search permission cannot be emptied, so every folder of the tree
// gets them back before the removal. Symbolic links are never followed.
void makeTreeWritable(const fs::path& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    chmod(path.c_str(), (st.st_mode & 07777) | S_IRWXU);
    std::error_code ec;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
        makeTreeWritable(it->path());
    }
}

}  // namespace

bool removeTree(const std::string& path) {
    std::error_code ec;
    fs::remove_all(path, ec);
    if (!ec) return true;
    makeTreeWritable(path);
    ec.clear();
    fs::remove_all(path, ec);
    return !ec;
}
