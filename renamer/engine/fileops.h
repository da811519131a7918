#pragma once
// File operations of the rename engine: carrying out a queue item's action (rename the file in
// its folder, or move or copy it into its target folder, under its new name) through the
// shell's file operation, undoing that action, and creating a target folder's missing folders.
//
//   FileAction action = stages.filterAction(core, item.filter_index);  // kActionRename, ...
//   if (fileops(item, action, log)) {
//       // item.path is now at item.target_folder + item.new_name (or copied there)
//       undofileops(item, action, log);  // and back: renamed, moved back, or the copy trashed
//   }
//
// Nothing is replaced unasked. Move and copy leave an existing destination file to the shell
// layer's confirmation callback, which the host registers (setFileOperationConfirm); with none,
// the answer is "no" and the operation fails with error 1223. A destination that names an
// existing folder is refused outright, so a file never ends up inside it. Every operation asks
// the shell to allow undo: a replaced file and an undone copy go to the Trash.

#include "renamer/common/activity_log.h"
#include "renamer/common/queue_item.h"
#include "renamer/engine/name_marks.h"

#include <cstdint>
#include <string>

namespace vantel {

// fileops performs action (rename, move and rename, copy and rename) on item: its path
// goes to target_folder + new_name. Returns false, with the reason logged, when the source is
// missing (error_text left as it is), when a rename would only change letter case or would land
// on an existing name, when the destination is an existing folder, when the shell operation
// fails (error_text names its error number: 1223 when replacing a file or creating a folder was
// not confirmed), for any other action, and on an unexpected error ("Error renaming/moving: ").
bool fileops(QueueItem& item, FileAction action, ActivityLog& log);

// undofileops reverses action for an item whose operation was done: renames target_folder +
// new_name back to path (refused when path exists), moves it back, or sends the copy to the
// Trash (refused when the original at path is gone, as the copy would then be the only one).
// Returns false when the file is no longer at its new place, on a refusal, when the shell
// operation fails, for any other action, and on an unexpected error ("Error
// renaming/moving (undo): "); the reason is logged. Leaves the item's state alone.
bool undofileops(QueueItem& item, FileAction action, ActivityLog& log);

// FileopsRehearsal: fileops without the file operations, for a dry run. Each rehearsed item gets
// every check fileops makes, on the files as the operations rehearsed before it would have left
// them (two files planned onto one name: the second finds it taken), with the confirmations
// answered as given; it is refused, logged and given its error_text exactly as fileops would.
// No file or folder is touched. The rehearsed items must stay in place, with their path, target
// folder and new name unchanged, while the rehearsal is used (see NameMarks).
//
//   FileopsRehearsal rehearsal({.replace = yes});
//   if (rehearsal.rehearse(item, action, log)) plan(item);  // else item.error_text says why
// How the shell's confirmations would be answered: replacing a file in the way of a move or
// copy, creating a folder that make_tree does not create (a missing top-level folder).
struct RehearsalAnswers {
    bool replace = false;
    bool create_folder = false;
};

class FileopsRehearsal {
  public:
    using Answers = RehearsalAnswers;
    explicit FileopsRehearsal(Answers answers = {}) : m_answers(answers) {}

    // rehearse: true when fileops would go ahead with action on item; false, with the reason
    // logged and error_text set as fileops sets them, when it would not.
    bool rehearse(QueueItem& item, FileAction action, ActivityLog& log);

  private:
    Answers m_answers;
    NameMarks m_marks;  // names the rehearsed operations filled (taken) or emptied (freed)
};

// make_tree creates the missing folders of path, a folder path ending in "/", one level at a
// time. The root and the folder directly below it are never created (a missing top-level
// folder most likely means an unmounted disk or a mistyped filter); nor is anything when path
// holds no "/". Repeated "/" count as one. Creation errors are ignored: the operation that needs
// the folder then fails and reports.
void make_tree(const std::string& path);

}  // namespace vantel
