#pragma once
// NameMarks: what the rehearsed file operations of a dry run did to names, without a copy of
// any name. Each mark points at the queue item the name belongs to, as its path (the name it
// freed by renaming or moving the file) or as its destination (target folder + new name, the
// name it took); names are compared in full, so two different names never count as one.
//
// An open-addressing table of (hash, item, which name, mark): 24 bytes a slot at most half
// full, against a hash set's node, bucket and string copy per name.
//
//   NameMarks marks;
//   marks.mark(item, NameMarks::kDestination, NameMarks::kTaken);
//   if (marks.find("/tv/Lost - 1x01.mkv") == NameMarks::kTaken) ...
//
// The items must stay in place, with their path, target folder and new name unchanged, while
// the marks are used (the core's queued items do: a planned item is never processed again).

#include "renamer/common/queue_item.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vantel {

class NameMarks {
  public:
    enum Mark : uint8_t { kUnmarked, kTaken, kFreed };
    enum Which : uint8_t { kPath, kDestination };

    // find: the latest mark of name, kUnmarked when it has none.
    Mark find(std::string_view name) const;
    // mark: the item's path or destination gets mark, replacing any earlier mark of that name.
    void mark(const QueueItem& item, Which which, Mark mark);
    size_t size() const { return m_used; }

  private:
    struct Slot {
        uint64_t hash = 0;
        const QueueItem* item = nullptr;  // nullptr: an empty slot
        Which which = kPath;
        Mark mark = kUnmarked;
    };

    static bool sameName(const Slot& slot, std::string_view name);
    // The slot holding name, or the empty slot where it would go.
    size_t slotFor(uint64_t hash, std::string_view name) const;
    void grow();

    std::vector<Slot> m_slots;
    size_t m_used = 0;
};

}  // namespace vantel
