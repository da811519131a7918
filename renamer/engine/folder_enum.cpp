#include "renamer/engine/folder_enum.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <set>
#include <string_view>
#include <utility>

namespace vantel {

namespace {

constexpr size_t kPumpEvery = 100;

// One name in a folder. The names of the folders being walked are kept one after the other in
// Walk::names (each folder's at the end while it is walked, dropped when it is done), so that
// a large folder costs no allocation per name.
struct Entry {
    // Up to eight bytes of the name from the point where the names of its folder start to
    // differ, the first one highest and missing ones zero: comparing two keys as numbers
    // orders those bytes as a byte-wise comparison would, and settles most comparisons.
    uint64_t key;
    size_t offset;  // of the name in Walk::names
    uint32_t size;
    bool folder;
};

struct Walk {
    size_t prefix_length;
    std::vector<std::string>& files;
    const WalkPump& pump;
    std::set<std::pair<dev_t, ino_t>> visited;
    bool stopped = false;
    std::string folder;  // the folder being walked, ending in "/"
    std::string names;
    std::vector<Entry> entries;
};

uint64_t sortKey(std::string_view tail) {
    uint64_t key = 0;
    if (tail.size() >= 8) {
        std::memcpy(&key, tail.data(), 8);
    } else {
        std::memcpy(&key, tail.data(), tail.size());
    }
    // The first byte in memory becomes the highest.
    if constexpr (std::endian::native == std::endian::little) key = __builtin_bswap64(key);
    return key;
}

// Appends the names in walk.folder (without "." and ".."), each marked as folder or file, to
// walk.entries and sorts them in the byte order of their names. Returns false, adding nothing,
// when the folder cannot be opened or was walked before.
bool readFolder(Walk& walk) {
    DIR* dir = ::opendir(walk.folder.c_str());
    if (!dir) return false;
    struct stat self {};
    if (::fstat(::dirfd(dir), &self) != 0 ||
        !walk.visited.insert({self.st_dev, self.st_ino}).second) {
        ::closedir(dir);
        return false;
    }
    const size_t first = walk.entries.size();
    while (dirent* e = ::readdir(dir)) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        bool folder_entry = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            // The kind is not known from the listing: ask, following a link.
            struct stat st {};
            if (::fstatat(::dirfd(dir), name, &st, 0) != 0) continue;
            folder_entry = S_ISDIR(st.st_mode);
        }
        const size_t size = std::strlen(name);
        walk.entries.push_back({0, walk.names.size(), static_cast<uint32_t>(size), folder_entry});
        walk.names.append(name, size);
    }
    ::closedir(dir);

    const auto begin = walk.entries.begin() + static_cast<std::ptrdiff_t>(first);
    if (walk.entries.end() - begin < 2) return true;
    const char* names = walk.names.data();
    auto nameOf = [names](const Entry& entry) {
        return std::string_view(names + entry.offset, entry.size);
    };
    // The names share their first `common` bytes; the keys are taken from there on.
    const std::string_view model = nameOf(*begin);
    size_t common = model.size();
    for (auto it = begin + 1; it != walk.entries.end() && common > 0; ++it) {
        const std::string_view name = nameOf(*it);
        if (name.size() >= common && std::memcmp(name.data(), model.data(), common) == 0) continue;
        size_t same = 0;
        while (same < common && same < name.size() && name[same] == model[same])
            ++same;
        common = same;
    }
    for (auto it = begin; it != walk.entries.end(); ++it)
        it->key = sortKey(nameOf(*it).substr(common));
    // Equal keys: both names hold the same bytes up to eight past `common` (a name holds no
    // zero byte, so neither ends earlier than the other), and the rest decides.
    const size_t decided = common + 8;
    std::sort(begin, walk.entries.end(), [&](const Entry& a, const Entry& b) {
        if (a.key != b.key) return a.key < b.key;
        const std::string_view name_a = nameOf(a), name_b = nameOf(b);
        return name_a.substr(std::min(decided, name_a.size())) <
               name_b.substr(std::min(decided, name_b.size()));
    });
    return true;
}

void walkFolder(Walk& walk) {
    const size_t first = walk.entries.size();
    const size_t names_size = walk.names.size();
    if (!readFolder(walk)) return;
    const size_t last = walk.entries.size();
    const size_t folder_size = walk.folder.size();
    const size_t from = std::min(walk.prefix_length, folder_size);
    for (size_t i = first; i < last && !walk.stopped; ++i) {
        // A copy: the walk of a subfolder adds to the entries and the names.
        const Entry entry = walk.entries[i];
        const char* name = walk.names.data() + entry.offset;
        if (entry.folder) {
            walk.folder.append(name, entry.size).push_back('/');
            walkFolder(walk);
            walk.folder.resize(folder_size);
            continue;
        }
        // Built in one allocation, from the folder with the name put after it for the moment:
        // a walk of a large collection makes one path per file.
        walk.folder.append(name, entry.size);
        walk.files.emplace_back(walk.folder.data() + from, walk.folder.size() - from);
        walk.folder.resize(folder_size);
        if (walk.pump && walk.files.size() % kPumpEvery == 0) {
            walk.stopped = !walk.pump() || !walk.pump();
        }
    }
    walk.entries.resize(first);
    walk.names.resize(names_size);
}

}  // namespace

void EnumFolder(const std::string& folder, size_t prefix_length, std::vector<std::string>& files,
                const WalkPump& pump) {
    Walk walk{prefix_length, files, pump, {}, false, folder, {}, {}};
    walkFolder(walk);
}

}  // namespace vantel
