#pragma once
// DryRunStages: the build's stages, except that the file operation is only planned: every
// stage up to it runs for real (detection, exceptions, the lookups with their caches, the
// filter choice), and for each item that reaches it the operation that would have been done is
// recorded instead of done. No file is renamed, moved, copied or created.
//
//   DryRunStages dry;
//   Core core(&view, &dry, "");
//   ... run the queue ...
//   for (const PlannedOperation& op : dry.planned()) print(op.from, op.to, actionName(op.action));

#include <cstdint>
#include <string>
#include <vector>

#include "renamer/engine/stages.h"

namespace vantel {

struct PlannedOperation {
    int32_t index = 0;                // the queue item
    FileAction action = kActionNone;  // the matched filter's action
    std::string from;                 // the item's path
    std::string to;                   // its target folder + new name
};

class DryRunStages final : public PipelineStages {
  public:
    // Records the operation and reports success, so the item ends its pass as planned.
    StageResult fileops(Core& core, int32_t index) override;

    const std::vector<PlannedOperation>& planned() const { return m_planned; }
    // The plan of queue item index, or nullptr when it did not get that far.
    const PlannedOperation* planFor(int32_t index) const;

  private:
    std::vector<PlannedOperation> m_planned;
};

// actionName: "Rename", "Move" or "Copy" for the three actions; "Unknown" otherwise.
const char* actionName(FileAction action);

}  // namespace vantel
