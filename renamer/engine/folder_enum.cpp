#include "renamer/engine/folder_enum.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#include <set>
#include <utility>

namespace vantel {

namespace {

constexpr size_t kPumpEvery = 100;

struct Walk {
    size_t prefix_length;
    std::vector<std::string>& files;
    const WalkPump& pump;
    std::set<std::pair<dev_t, ino_t>> visited;
    bool stopped = false;
};

struct Entry {
    std::string name;
    bool folder;
};

// The names in a folder (without "." and ".."), each marked as folder or file, sorted.
std::vector<Entry> readFolder(const std::string& folder, Walk& walk) {
    std::vector<Entry> entries;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return entries;
    struct stat self {};
    if (::fstat(::dirfd(dir), &self) != 0 ||
        !walk.visited.insert({self.st_dev, self.st_ino}).second) {
        ::closedir(dir);
        return entries;
    }
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        bool folder_entry = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            // The kind is not known from the listing: ask, following a link.
            struct stat st {};
            if (::fstatat(::dirfd(dir), e->d_name, &st, 0) != 0) continue;
            folder_entry = S_ISDIR(st.st_mode);
        }
        entries.push_back({std::move(name), folder_entry});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return entries;
}

void walkFolder(const std::string& folder, Walk& walk) {
    for (Entry& entry : readFolder(folder, walk)) {
        if (walk.stopped) return;
        if (entry.folder) {
            walkFolder(folder + entry.name + "/", walk);
            continue;
        }
        // Built in one allocation: a walk of a large collection makes one path per file.
        const size_t from = std::min(walk.prefix_length, folder.size());
        std::string& path = walk.files.emplace_back();
        path.reserve(folder.size() - from + entry.name.size());
        path.append(folder, from).append(entry.name);
        if (walk.pump && walk.files.size() % kPumpEvery == 0) {
            walk.stopped = !walk.pump() || !walk.pump();
        }
    }
}

}  // namespace

void EnumFolder(const std::string& folder, size_t prefix_length, std::vector<std::string>& files,
                const WalkPump& pump) {
    Walk walk{prefix_length, files, pump, {}};
    walkFolder(folder, walk);
}

}  // namespace vantel
