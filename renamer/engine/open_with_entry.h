#pragma once
// The desktop entry that makes the context-menu entry real on a Linux desktop: file managers do
// not read the registry, so beside the registry entries (shell_entries.h) the same callers keep
// a desktop entry in the user's applications folder ($XDG_DATA_HOME/applications), hidden from
// menus, that offers the program for the MIME types of the accepted extensions and for folders.
//
//   addContextEntries(core.settings().types, "/opt/vantel/bin/vantel");   // registry + entry
//   removeContextEntries(core.settings().types);                           // both go

#include <optional>
#include <string>

namespace vantel {

// mimeTypeOf: the MIME type a desktop gives files with this extension (any case, no dot), or
// nullopt for an extension this table does not know.
std::optional<std::string> mimeTypeOf(const std::string& extension);

// openWithEntryPath: $XDG_DATA_HOME/applications/vantel-open-with.desktop (XDG_DATA_HOME
// defaulting to ~/.local/share); "" when no home is known.
std::string openWithEntryPath();

// openWithEntryText: the entry for the types: hidden from menus, its MIME types those of the
// known extensions of types (each once) plus "inode/directory", its command the program with one
// chosen item (%f: the running instance takes over every further start). program is quoted and
// escaped as the desktop entry format asks; icon is the Icon value.
std::string openWithEntryText(const std::string& types, const std::string& program,
                              const std::string& icon);

// writeOpenWithEntry / removeOpenWithEntry: create (replacing it atomically) or delete the
// entry, then ask the desktop to refresh its MIME cache (update-desktop-database when it is
// installed; not waited for). The icon is the one in the program's data folder when it is
// there, else the icon theme's "vantel". False when the file cannot be written or removed; a
// missing file counts as removed.
bool writeOpenWithEntry(const std::string& types, const std::string& program);
bool removeOpenWithEntry();

// addContextEntries / removeContextEntries: what every caller of the context-menu entries
// does: the registry entries of each extension of types in order, then of "DIR"
// (AddShellEntries with the command for program, RemoveShellEntries), then the desktop entry.
void addContextEntries(const std::string& types, const std::string& program);
void removeContextEntries(const std::string& types);

}  // namespace vantel
