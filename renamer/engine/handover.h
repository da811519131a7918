#pragma once
// The single-instance hand-over: the copy-data message by which a second start of the desktop
// program passes its command line to the running one, and by which any program of the same
// user can ask it to quit.
//
//   if (HWND first = findRunningInstance()) {                  // by the caption "Vantel 4.0"
//       SendToRunningInstance(queueMessageText(command_line));  // "KQ|PI|C=" + command line
//       return 0;
//   }
//
// The receiving side is the core's window procedure: readHandOver turns the message into what
// it asks for, and everything else is ignored. The message crosses processes only between
// windows of one user (platform/user publishes windows in a folder only its user can enter).

#include "platform/user/user.h"

#include <string>

// The copy-data tag of a hand-over message; other values are ignored.
inline constexpr ULONG_PTR kHandOverDataTag = 3;
// The texts: "KQ|" + "PI|C=" + command line (queue it), "KQ|" + "UD|" (quit).
inline constexpr const char* kHandOverQueuePrefix = "KQ|PI|C=";
inline constexpr const char* kHandOverQuitText = "KQ|UD|";

enum class HandOverKind {
    Ignore,  // not a hand-over message, or one with another tag or kind
    Queue,   // add command_line to the queue, as a command line given at start-up
    Quit,    // close the main window (deferred while a pass runs)
};

struct HandOver {
    HandOverKind kind = HandOverKind::Ignore;
    std::string command_line;  // Queue only: everything after the first 8 characters
};

// readHandOver: what a WM_COPYDATA record asks for. dwData must be 3; the text is the first
// cbData - 1 bytes of lpData (the sender's terminating zero is dropped; a text that holds a zero
// earlier ends there). Characters 1 to 3 must read "KQ|" and 4 to 6 "PI|" or "UD|"; anything
// else, a null record or an empty text gives Ignore. Never fails.
HandOver readHandOver(const COPYDATASTRUCT* data);

// queueMessageText: "KQ|PI|C=" + command_line.
std::string queueMessageText(const std::string& command_line);

// findRunningInstance: the main window of a running desktop program of this user (found by its
// caption "Vantel 4.0", mainCaption()), or nullptr when none runs.
HWND findRunningInstance();

// SendToRunningInstance: sends text (with its terminating zero) as a hand-over message to the
// running instance and waits until it has been handled. The text is carried whole however long
// it is (the platform's copy-data limit of 16 MiB aside), so a long path is never cut. False
// when no instance runs; the receiver's answer is not examined.
bool SendToRunningInstance(const std::string& text);
