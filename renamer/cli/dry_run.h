#pragma once
// DryRunStages: the build's stages, except that the file operation is only rehearsed: every
// stage up to it runs for real (detection, exceptions, the lookups with their caches, the
// filter choice), and each item that reaches it gets every check of the real file operation
// (FileopsRehearsal: same name, destination taken, also by an item planned before it, a
// destination folder that would not be created, ...). An item the real run would refuse fails
// with the same text; for the others the operation that would have been done is recorded
// instead of done. No file is renamed, moved, copied or created, and nothing is journalled.
//
//   DryRunStages dry({.replace = options.yes});
//   Core core(&view, &dry, "");
//   ... run the queue ...
//   for (int32_t i = 1; i <= core.queueCount(); ++i)
//       if (auto op = dry.planFor(core, i)) print(op->from, op->to, actionName(op->action));

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "renamer/engine/fileops.h"
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
    // answers: how the real run would answer the shell's confirmations.
    explicit DryRunStages(FileopsRehearsal::Answers answers = {}) : m_rehearsal(answers) {}

    // Rehearses the operation; when the real run would go ahead, records it and reports
    // success, so the item ends its pass as planned. Otherwise false, as the real run fails.
    StageResult fileops(Core& core, int32_t index) override;

    // planFor: the plan of queue item index: the operation its latest pass planned, from its
    // path to its target, or nullopt when the item did not get that far (or a later pass
    // failed it).
    std::optional<PlannedOperation> planFor(const Core& core, int32_t index) const;

  private:
    FileopsRehearsal m_rehearsal;
    // The planned action by queue index (kActionNone: no plan). The paths are the item's own,
    // which nothing changes after the plan in a dry run: the plan costs no copy of them.
    std::vector<FileAction> m_actions;
};

// actionName: "Rename", "Move" or "Copy" for the three actions; "Unknown" otherwise.
const char* actionName(FileAction action);

}  // namespace vantel
