// The slabs: aligned to their size so that the kernel can back each with one huge page.

#include "renamer/engine/item_store.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace vantel {

void ItemStore::addSlab() {
    void* memory = std::aligned_alloc(kSlabBytes, kSlabBytes);
    if (!memory) throw std::bad_alloc();
    // 100,000 items take some 35 MB: in small pages that is 8,600 page faults, about a fifth of
    // the time it takes to queue them. The first slab stays in small pages, so a short queue
    // takes only the memory it touches. Advice the kernel does not take changes nothing.
    if (!m_slabs.empty()) ::madvise(memory, kSlabBytes, MADV_HUGEPAGE);
    try {
        m_slabs.push_back(static_cast<QueueItem*>(memory));
    } catch (...) {
        std::free(memory);
        throw;
    }
}

void ItemStore::clear() {
    for (size_t i = 0; i < m_size; ++i)
        slot(i)->~QueueItem();
    for (QueueItem* slab : m_slabs)
        std::free(slab);
    m_slabs.clear();
    m_size = 0;
}

}  // namespace vantel
