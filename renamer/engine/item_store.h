#pragma once
// ItemStore: the queue's items in blocks of 256. An item never moves once added (a reference to
// it stays valid while more are added, as the driver needs), and a large queue costs one
// allocation per block instead of one per item.
//
//   ItemStore items;
//   QueueItem& first = items.emplace_back();
//   items.at(0).path = "/tv/a.mkv";

#include "renamer/common/queue_item.h"

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <vector>

namespace vantel {

class ItemStore {
  public:
    size_t size() const { return m_size; }

    QueueItem& emplace_back() {
        if (m_size == m_blocks.size() * kBlock)
            m_blocks.push_back(std::make_unique<QueueItem[]>(kBlock));
        ++m_size;
        return at(m_size - 1);
    }

    // at: the item at i (below size()); throws std::out_of_range otherwise, as the queue's
    // callers have always been told.
    QueueItem& at(size_t i) {
        if (i >= m_size) throw std::out_of_range("queue index");
        return m_blocks[i / kBlock][i % kBlock];
    }
    const QueueItem& at(size_t i) const {
        if (i >= m_size) throw std::out_of_range("queue index");
        return m_blocks[i / kBlock][i % kBlock];
    }

    void clear() {
        m_blocks.clear();
        m_size = 0;
    }

  private:
    static constexpr size_t kBlock = 256;
    std::vector<std::unique_ptr<QueueItem[]>> m_blocks;
    size_t m_size = 0;
};

}  // namespace vantel
