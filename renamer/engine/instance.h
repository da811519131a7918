#pragma once
// The single instance: a second start of the desktop window hands its command line to the
// running one and ends, and the running one acts on what it is sent.
//
// The message is a WM_COPYDATA to the running instance's main window (the core's window, found
// by its caption mainCaption()), dwData 3, holding a text and one zero byte:
//   "KQ|PI|C=" + command line   queue the command line, as one given at start-up
//   "KQ|UD|"                    close the program (deferred while a pass runs)
// The platform layer carries the message only between processes of the same user.
//
//   if (SendToRunningInstance(std::string(kHandOverPrefix) + commandLine)) return 0;
//   ...
//   case WM_COPYDATA:
//       if (auto text = instanceMessageText(reinterpret_cast<const COPYDATASTRUCT*>(lParam)))
//           actOnInstanceMessage(core, *text);

#include "platform/user/user.h"
#include "renamer/engine/core.h"

#include <optional>
#include <string>

namespace vantel {

// The dwData of an instance message; a WM_COPYDATA with any other value is not one.
inline constexpr ULONG_PTR kInstanceMessageData = 3;
// "Queue this command line" and "quit".
inline constexpr const char* kHandOverPrefix = "KQ|PI|C=";
inline constexpr const char* kUnloadText = "KQ|UD|";

// findRunningInstance: the main window of a running desktop instance (its caption is exactly
// mainCaption()), or nullptr when there is none.
HWND findRunningInstance();

// SendToRunningInstance: sends text as an instance message to the running instance's main
// window and waits until it has been handled there. sender is passed as wParam. False when no
// running instance was found (the text goes nowhere); the receiver's answer is not examined.
bool SendToRunningInstance(const std::string& text, HWND sender = nullptr);

// instanceMessageText: the text of a WM_COPYDATA record that is an instance message: its first
// cbData - 1 bytes (the last byte is the zero byte). nullopt for a null record or one whose
// dwData is not kInstanceMessageData.
std::optional<std::string> instanceMessageText(const COPYDATASTRUCT* data);

// actOnInstanceMessage: acts on an instance message's text. "KQ|" + "PI|" hands everything after
// the first 8 characters to core.add_to_queue (with start set, so a pass follows); "KQ|" +
// "UD|" is a close request (Core::queryUnload, then Core::unloadMainWindow). Any other tag or
// kind changes nothing. Returns whether the text was one of the two.
bool actOnInstanceMessage(Core& core, const std::string& text);

}  // namespace vantel
