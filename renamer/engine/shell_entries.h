#pragma once
// The "Vantel" entry of the desktop's context menu for video files and folders: the registry
// entries under HKEY_CLASSES_ROOT that start the program with the chosen item.
//
//   std::string command = shellCommand("/opt/vantel/bin/vantel");  // "\"/opt/.../vantel\" %1"
//   for (const std::string& type : shellEntryTypes(core.settings().types))  // ..., "DIR" last
//       AddShellEntries(type, command);
//
// Every caller walks the types in order and handles "DIR" (folders and video files in general)
// last. The entries outlive the program; only the preferences and uninstall remove them.

#include <string>
#include <vector>

namespace vantel {

class Core;

// shellCommand: the command text of every entry: the program's path in double quotes, then
// " %1".
std::string shellCommand(const std::string& program);

// shellEntryTypes: the extensions of a types text ("avi;mkv;") in order, empty parts skipped,
// followed by "DIR".
std::vector<std::string> shellEntryTypes(const std::string& types);

// AddShellEntries writes the entries of one extension (without its dot) or of "DIR". For an
// extension: the verb under "SystemFileAssociations\.<ext in lower case>", and the verb of the
// extension's file class (the default value of ".<ext>"; when that is empty it becomes
// "<ext in lower case>file" first). For "DIR": the verbs under "SystemFileAssociations\video"
// and "Directory". A verb is the key "shell\Vantel\command" below, its default value command.
// Registry errors are ignored and the next step runs.
void AddShellEntries(const std::string& type, const std::string& command);

// RemoveShellEntries deletes the keys AddShellEntries writes (and the "ddeexec" keys of earlier
// versions), each separately and deepest first. An extension whose ".<ext>" names no class
// loses nothing; the ".<ext>" value itself always stays, and so does the
// "SystemFileAssociations\.<ext>\shell\Vantel" key. Registry errors are ignored.
void RemoveShellEntries(const std::string& type);

// setUpShellEntries: the start-up step of the desktop window: when settings().context is 0,
// logs "Setting up context menu entries" (level 2), adds the entries of every type and of
// "DIR", and sets context to 2 in memory only (the registry keeps 0 until the user confirms the
// preferences, so the entries are written again at every start until then). Returns whether
// the entries were written.
bool setUpShellEntries(Core& core, const std::string& command);

}  // namespace vantel
