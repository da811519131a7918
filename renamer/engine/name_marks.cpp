#include "renamer/engine/name_marks.h"

#include <string>

namespace vantel {

namespace {

// FNV-1a over the bytes, in pieces: a destination hashes as its folder and its name in turn,
// exactly as the joined text would.
constexpr uint64_t kOffset = 14695981039346656037ull;
constexpr uint64_t kPrime = 1099511628211ull;

uint64_t hashMore(uint64_t hash, std::string_view bytes) {
    for (char c : bytes)
        hash = (hash ^ static_cast<uint8_t>(c)) * kPrime;
    return hash;
}

uint64_t hashOf(const QueueItem& item, NameMarks::Which which) {
    if (which == NameMarks::kPath) return hashMore(kOffset, item.path);
    return hashMore(hashMore(kOffset, item.target_folder), item.new_name);
}

// The slot index to start at: the hash's high bits spread, since FNV's low bits are weak.
size_t start(uint64_t hash, size_t mask) {
    return static_cast<size_t>((hash ^ (hash >> 29)) * 0x9E3779B97F4A7C15ull >> 20) & mask;
}

}  // namespace

bool NameMarks::sameName(const Slot& slot, std::string_view name) {
    if (slot.which == kPath) return slot.item->path == name;
    const std::string& folder = slot.item->target_folder;
    const std::string& file = slot.item->new_name;
    return name.size() == folder.size() + file.size() && name.substr(0, folder.size()) == folder &&
           name.substr(folder.size()) == file;
}

size_t NameMarks::slotFor(uint64_t hash, std::string_view name) const {
    const size_t mask = m_slots.size() - 1;
    for (size_t i = start(hash, mask);; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (!slot.item || (slot.hash == hash && sameName(slot, name))) return i;
    }
}

NameMarks::Mark NameMarks::find(std::string_view name) const {
    if (m_slots.empty()) return kUnmarked;
    const Slot& slot = m_slots[slotFor(hashMore(kOffset, name), name)];
    return slot.item ? slot.mark : kUnmarked;
}

void NameMarks::mark(const QueueItem& item, Which which, Mark mark) {
    if ((m_used + 1) * 2 > m_slots.size()) grow();
    const uint64_t hash = hashOf(item, which);
    std::string joined;
    std::string_view name = item.path;
    if (which == kDestination) {
        joined = item.target_folder + item.new_name;
        name = joined;
    }
    Slot& slot = m_slots[slotFor(hash, name)];
    if (!slot.item) ++m_used;
    slot = {hash, &item, which, mark};
}

void NameMarks::grow() {
    std::vector<Slot> old = std::move(m_slots);
    m_slots.assign(old.empty() ? 64 : old.size() * 2, Slot{});
    const size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (!slot.item) continue;
        size_t i = start(slot.hash, mask);
        while (m_slots[i].item)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

}  // namespace vantel
