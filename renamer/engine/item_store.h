#pragma once
// ItemStore: the queue's items in slabs of 2 MiB. An item never moves once added (a reference to
// it stays valid while more are added, as the driver needs), and a large queue costs one
// allocation per slab instead of one per item.
//
//   ItemStore items;
//   QueueItem& first = items.emplace_back();
//   items.at(0).path = "/tv/a.mkv";

#include "renamer/common/queue_item.h"

#include <cstddef>
#include <stdexcept>
#include <vector>

namespace vantel {

class ItemStore {
  public:
    ItemStore() = default;
    ~ItemStore() { clear(); }
    ItemStore(const ItemStore&) = delete;
    ItemStore& operator=(const ItemStore&) = delete;

    size_t size() const { return m_size; }

    // Throws std::bad_alloc when there is no memory for a new slab, as a vector would.
    QueueItem& emplace_back() {
        if (m_size == m_slabs.size() * kPerSlab) addSlab();
        QueueItem* item = new (slot(m_size)) QueueItem();
        ++m_size;
        return *item;
    }

    // at: the item at i (below size()); throws std::out_of_range otherwise, as the queue's
    // callers have always been told.
    QueueItem& at(size_t i) {
        if (i >= m_size) throw std::out_of_range("queue index");
        return *slot(i);
    }
    const QueueItem& at(size_t i) const {
        if (i >= m_size) throw std::out_of_range("queue index");
        return *slot(i);
    }

    void clear();

  private:
    static constexpr size_t kSlabBytes = size_t{2} << 20;
    static constexpr size_t kPerSlab = kSlabBytes / sizeof(QueueItem);

    QueueItem* slot(size_t i) const { return m_slabs[i / kPerSlab] + i % kPerSlab; }
    void addSlab();

    std::vector<QueueItem*> m_slabs;
    size_t m_size = 0;
};

}  // namespace vantel
