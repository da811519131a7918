#pragma once
// The desktop shell's context-menu entries: "Vantel" on video files of the accepted types and on
// folders, starting the desktop program with the chosen item.
//
// The registry entries are written into HKEY_CLASSES_ROOT (the user's own classes) exactly as
// the program has always written them. So that the entry really appears in the file managers of
// a Linux desktop, the same callers also keep a desktop entry in the user's applications folder
// ($XDG_DATA_HOME/applications, not shown in menus) that offers the program for the MIME types
// of those extensions and for folders.
//
//   for each extension of types: AddShellEntries(extension);   // then:
//   AddShellEntries("DIR");
//   writeOpenWithEntry(types);
//
// or simply addContextEntries(types) / removeContextEntries(types), which do it all in that order.

#include <optional>
#include <string>
#include <vector>

// The verb's key name, which the shell also shows as the menu text.
inline constexpr const char* kShellVerb = "Vantel";
// The pseudo-extension that stands for folders and for video files in general.
inline constexpr const char* kShellFolders = "DIR";

// shellCommandText: the command the entries start: the program's path in double quotes and
// " %1" ("\"/opt/vantel/bin/vantel\" %1").
std::string shellCommandText();

// AddShellEntries: writes the entries for one extension (without its dot) or for "DIR".
// An extension whose "." key has no class name gets the class name extension + "file" (lower
// case). Registry errors are ignored and the next step runs.
void AddShellEntries(const std::string& extension);

// RemoveShellEntries: deletes the entries of one extension or of "DIR", each key separately and
// deepest first (also the "ddeexec" keys of earlier versions). The "." key's class name stays,
// also when AddShellEntries created it. Registry errors are ignored.
void RemoveShellEntries(const std::string& extension);

// splitTypes: the extensions of a types text ("avi;mkv") in order; empty parts are skipped.
std::vector<std::string> splitTypes(const std::string& types);

// mimeTypeOf: the MIME type a desktop gives files with this extension (lower case, no dot), or
// nullopt for an extension this table does not know.
std::optional<std::string> mimeTypeOf(const std::string& extension);

// openWithEntryPath: $XDG_DATA_HOME/applications/vantel-open-with.desktop (XDG_DATA_HOME
// defaulting to ~/.local/share); "" when no home is known.
std::string openWithEntryPath();

// openWithEntryText: the desktop entry for the types: hidden from menus, its MIME types those
// of the known extensions of types plus "inode/directory", its command the program with one
// chosen item (%f; the running instance takes over every further start). program is quoted and
// escaped as the desktop entry specification asks.
std::string openWithEntryText(const std::string& types, const std::string& program);

// writeOpenWithEntry / removeOpenWithEntry: create (replacing atomically) or delete the desktop
// entry, then ask the desktop to refresh its MIME cache (update-desktop-database, when
// installed; not waited for). False when the file cannot be written or removed; a missing file
// counts as removed.
bool writeOpenWithEntry(const std::string& types);
bool removeOpenWithEntry();

// addContextEntries / removeContextEntries: what every caller does: each extension of types in
// order, then "DIR", then the desktop entry.
void addContextEntries(const std::string& types);
void removeContextEntries(const std::string& types);
