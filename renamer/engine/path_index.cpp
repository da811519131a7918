#include "renamer/engine/path_index.h"

namespace vantel {

void PathIndex::insert(size_t hash, int32_t index) {
    // Never more than half full: most inserts find room without working out a new size.
    if (2 * (m_size + 1) > m_slots.size()) reserve(m_size + 1);
    place(hash, index);
    ++m_size;
}

void PathIndex::reserve(size_t count) {
    size_t needed = 16;
    while (needed < 2 * count)
        needed *= 2;
    if (needed > m_slots.size()) rehash(needed);
}

void PathIndex::clear() {
    m_slots.clear();
    m_mask = 0;
    m_size = 0;
}

void PathIndex::rehash(size_t slot_count) {
    std::vector<Slot> old = std::move(m_slots);
    m_slots.assign(slot_count, Slot{0, kEmpty});
    m_mask = slot_count - 1;
    for (const Slot& slot : old) {
        if (slot.index != kEmpty) place(slot.hash, slot.index);
    }
}

void PathIndex::place(size_t hash, int32_t index) {
    size_t i = hash & m_mask;
    while (m_slots[i].index != kEmpty)
        i = (i + 1) & m_mask;
    m_slots[i] = Slot{hash, index};
}

}  // namespace vantel
