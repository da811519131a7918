#pragma once
// PathIndex: which queue item holds a path, found in constant time however long the queue is.
//
// An open-addressing table of (hash, item index) pairs in one flat array: a lookup touches one
// or two neighbouring slots instead of chasing list nodes, and adding costs no allocation but
// the occasional doubling. The paths themselves stay in the queue; the caller passes the hash
// and a test that compares the path of a candidate item.
//
//   PathIndex index;
//   index.insert(hash, 7);
//   bool queued = index.contains(hash, [&](int32_t i) { return item(i).path == path; });

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantel {

class PathIndex {
  public:
    // contains: whether an item with this hash passes same(index); tried for every entry with
    // the same hash, in no particular order.
    template <class Same>
    bool contains(size_t hash, Same&& same) const {
        if (m_slots.empty()) return false;
        for (size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
            const Slot& slot = m_slots[i];
            if (slot.index == kEmpty) return false;
            if (slot.hash == hash && same(slot.index)) return true;
        }
    }

    // prefetch: starts bringing the slot where a lookup of hash begins into the cache, so that
    // a lookup a little later need not wait for it in a table far larger than the cache.
    void prefetch(size_t hash) const {
        if (!m_slots.empty()) __builtin_prefetch(&m_slots[hash & m_mask]);
    }

    // insert: records item index under hash (several items may share a hash).
    void insert(size_t hash, int32_t index);

    // reserve: room for count entries in all without growing again.
    void reserve(size_t count);

    void clear();
    size_t size() const { return m_size; }

  private:
    static constexpr int32_t kEmpty = -1;
    struct Slot {
        size_t hash;
        int32_t index;
    };

    void rehash(size_t slot_count);
    void place(size_t hash, int32_t index);

    std::vector<Slot> m_slots;  // a power of two in size, never more than half full
    size_t m_mask = 0;
    size_t m_size = 0;
};

}  // namespace vantel
