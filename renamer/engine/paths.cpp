#include "renamer/engine/paths.h"

#include <vector>

#include "renamer/common/text.h"

namespace vantel {

namespace {

std::vector<std::string_view> splitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t slash; (slash = path.find('/', start)) != std::string_view::npos;
         start = slash + 1) {
        parts.push_back(path.substr(start, slash - start));
    }
    parts.push_back(path.substr(start));
    return parts;
}

}  // namespace

std::string getextension(std::string_view name) {
    std::string extension;
    getextensionTo(name, extension);
    return extension;
}

void getextensionTo(std::string_view name, std::string& out) {
    size_t dot = name.rfind('.');
    lowerCaseTo(dot == std::string_view::npos ? name : name.substr(dot + 1), out);
}

std::string remextension(std::string_view name) {
    // A name without an extension has nothing to remove: keep it whole rather than fail.
    return std::string(name.substr(0, name.rfind('.')));
}

std::string getfname(std::string_view path) {
    size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string getpath(std::string_view path, int32_t n) {
    std::vector<std::string_view> parts = splitPath(path);
    int64_t keep = static_cast<int64_t>(parts.size()) - n - 1;
    if (keep > static_cast<int64_t>(parts.size())) keep = static_cast<int64_t>(parts.size());
    std::string folder;
    for (int64_t i = 0; i < keep; ++i) {
        folder += parts[i];
        folder += '/';
    }
    return folder;
}

std::optional<std::string_view> folderName(std::string_view path) {
    size_t last = path.rfind('/');
    if (last == std::string_view::npos) return std::nullopt;
    size_t before = last == 0 ? std::string_view::npos : path.rfind('/', last - 1);
    size_t start = before == std::string_view::npos ? 0 : before + 1;
    return path.substr(start, last - start);
}

std::string getshowname(std::string_view text) {
    return lowerCase(getfname(text));
}

}  // namespace vantel
