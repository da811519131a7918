// Queueing files: add_to_queue and the queue's bookkeeping.

#include "renamer/engine/core.h"
#include "renamer/engine/folder_enum.h"
#include "renamer/engine/paths.h"

#include <sys/stat.h>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace vantel {

namespace {

// The word that copying the first six bytes of text into a zeroed one gives, on either byte order.
constexpr uint64_t sixBytes(const char* text) {
    uint64_t word = 0;
    for (int i = 0; i < 6; ++i) {
        const int shift = std::endian::native == std::endian::little ? 8 * i : 8 * (7 - i);
        word |= uint64_t{static_cast<unsigned char>(text[i])} << shift;
    }
    return word;
}

// Whether "sample" in any letter case starts at pos. Setting bit 0x20 turns a capital ASCII
// letter into its small one and leaves a small one as it is; only those two bytes end up as a
// given small letter. The six bytes are compared at once.
bool sampleAt(std::string_view text, size_t pos) {
    if (pos + 6 > text.size()) return false;
    constexpr uint64_t kSample = sixBytes("sample");
    constexpr uint64_t kCaseBits = sixBytes("      ");  // 0x20 in each
    uint64_t word = 0;
    std::memcpy(&word, text.data() + pos, 6);
    return (word | kCaseBits) == kSample;
}

bool containsSample(std::string_view text) {
    // Eight bytes at a step: the places holding an "s" or "S" are marked (a mark may also fall on
    // a byte after one, which the check then rules out), and only those are checked.
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    size_t pos = 0;
    for (; pos + 8 <= text.size(); pos += 8) {
        uint64_t w;
        std::memcpy(&w, text.data() + pos, 8);
        const uint64_t x = (w | 0x20 * kOnes) ^ ('s' * kOnes);
        uint64_t marks = (x - kOnes) & ~x & kHigh;
        while (marks) {
            const size_t at = pos + static_cast<size_t>(__builtin_ctzll(marks)) / 8;
            if (sampleAt(text, at)) return true;
            marks &= marks - 1;
        }
    }
    for (; pos < text.size(); ++pos) {
        if (sampleAt(text, pos)) return true;
    }
    return false;
}

}  // namespace

bool Core::listedType(const std::string& extension) const {
    // A substring test, as the stored list is matched: "mkv" is found in "avi;mkv;mpg;mp4", and
    // so are "kv" and "mp". An empty extension (a name ending in ".") names no type at all.
    return !extension.empty() && m_settings.types.find(extension) != std::string::npos;
}

bool Core::sampleInPath(std::string_view path, size_t name_from) {
    // No match can take in a "/", so it lies in the folder or in the name. The files of a
    // folder share the folder, which is then looked at once.
    const std::string_view folder = path.substr(0, name_from);
    if (folder != m_folder_without_sample) {
        if (containsSample(folder)) return true;
        m_folder_without_sample.assign(folder);
    }
    return containsSample(path.substr(name_from));
}

bool Core::add_to_queue(std::string path, bool start, QueueTally* tally) {
    QueueTally own;
    QueueTally& counts = tally ? *tally : own;
    if (!path.empty() && path.back() == '"') path.pop_back();
    if (!path.empty() && path.front() == '"') path.erase(0, 1);
    if (path.size() < 3) {
        ++counts.too_short;
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            ++counts.missing;
        } else if (error == ENAMETOOLONG) {
            // Such a file can never be renamed either; left out without a word, it would look
            // done.
            ++counts.too_long;
            debug_log("Unable to queue " + path + ": the path is longer than the system allows", 1);
        } else {
            ++counts.unreadable;
            counts.error = std::strerror(error);
        }
        return false;
    }

    if (S_ISDIR(st.st_mode)) {
        std::string base = path.back() == '/' ? path : path + "/";
        // Each walk has its own list, so a folder queued while another one is being walked
        // (dropped onto the window during the walk's pauses) cannot disturb it.
        std::vector<std::string> files;
        ++m_walking;
        // Whole paths: each one becomes its item's path as it is, with no second copy.
        EnumFolder(base, 0, files, [this] {
            pump();
            return !m_unloaded;
        });
        // Room for every listed file at once: the queue and the set of queued paths then grow
        // once per folder instead of once per doubling.
        m_queued_paths.reserve(m_queued_paths.size() + files.size());
        // The index slot of a path a few files ahead is fetched while this one is queued: in a
        // large queue the index is far larger than the cache.
        constexpr size_t kAhead = 8;
        size_t ahead[kAhead];
        auto lookAhead = [&](size_t i) {
            ahead[i % kAhead] = std::hash<std::string>{}(files[i]);
            m_queued_paths.prefetch(ahead[i % kAhead]);
        };
        for (size_t i = 0; i < std::min(files.size(), kAhead); ++i)
            lookAhead(i);
        bool added = false;
        for (size_t i = 0; i < files.size(); ++i) {
            if (m_unloaded) break;
            const size_t hash = ahead[i % kAhead];
            if (i + kAhead < files.size()) lookAhead(i + kAhead);
            // Each file is queued as if given on its own with start set. The walk has just seen
            // it as an existing file, so it is not looked up again; and the timer is armed once
            // after the last one, which is when each of those armings would have left it.
            added |= queueFile(std::move(files[i]), hash, counts);
        }
        --m_walking;
        if (added && !m_flags.busy) enableTimer1();
        return false;
    }

    const size_t hash = std::hash<std::string>{}(path);
    if (!queueFile(std::move(path), hash, counts)) return false;
    if (start && !m_flags.busy) enableTimer1();
    return true;
}

bool Core::queueFile(std::string path, size_t hash, QueueTally& tally) {
    if (alreadyQueued(path, hash)) {
        ++tally.already_queued;
        return false;
    }
    getextensionTo(path, m_extension);
    if (!listedType(m_extension)) {
        ++tally.unlisted_type;
        return false;
    }
    const size_t slash = path.rfind('/');
    const size_t name_from = slash == std::string::npos ? 0 : slash + 1;
    if (sampleInPath(path, name_from)) {
        ++tally.sample;
        return false;
    }
    ++tally.added;

    QueueItem& added = m_queue.emplace_back();
    added.file_name = std::string(path.data() + name_from, path.size() - name_from);
    added.path = std::move(path);
    const int32_t index = queueCount();
    m_queued_paths.insert(hash, index);
    // The row text is the name without its extension, built in room kept from the last row.
    // The room is taken out while the view looks at it, so that a row added meanwhile (should
    // the view queue more) makes its own.
    std::string text = std::move(m_row_text);
    try {
        const std::string& name = added.file_name;
        text.assign(name, 0, name.rfind('.'));
        m_view->queueRowAdded(index, text);
    } catch (...) {
        // The row is only a picture of the item; the item itself is queued.
    }
    m_row_text = std::move(text);
    return true;
}

bool Core::alreadyQueued(const std::string& path, size_t hash) const {
    // Same hash, same path: an exact, case-sensitive comparison.
    return m_queued_paths.contains(hash, [&](int32_t index) { return item(index).path == path; });
}

void Core::resetQueue() {
    m_queue.clear();
    m_queue.emplace_back();
    m_queued_paths.clear();
    m_current_item = 0;
}

}  // namespace vantel
