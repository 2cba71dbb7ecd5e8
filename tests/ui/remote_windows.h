// Operating the windows of another process from outside, as a user would:
// finding them, reading their texts and check states, typing into them and
// pressing their buttons.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

namespace quilldex::testing::ui {

using Timeout = std::chrono::milliseconds;
// Generous, because a loaded machine can take seconds to show a window
// under Wine; a wait ends as soon as the window is there.
inline constexpr Timeout kShortWait{30000};

// The visible dialog-class window (a dialog or a message box) of process
// `processId` with caption `caption`, other than `except`; nullptr if none
// appears within `timeout`.
HWND waitForDialog(DWORD processId, const std::string& caption, Timeout timeout = kShortWait, HWND except = nullptr);

// Whether such a window is there now.
bool dialogExists(DWORD processId, const std::string& caption, HWND except = nullptr);

// True once `window` has been destroyed, false if it is still there after
// `timeout`.
bool waitUntilGone(HWND window, Timeout timeout = kShortWait);

std::string windowText(HWND window);
std::string controlText(HWND dialog, int control);
void setControlText(HWND dialog, int control, const std::string& text);
bool isChecked(HWND dialog, int control);
// A mouse click on a check box or radio button; never use it on a button
// that opens a modal window.
void click(HWND dialog, int control);

// Presses a button by posting its command, so that a modal window it opens
// does not block the caller.
void pressButton(HWND dialog, int control);

// The text of a message box, and whether it shows an icon.
std::string messageBoxText(HWND box);
bool messageBoxHasIcon(HWND box);

// Whether some descendant window of `window` holds exactly `text`.
bool holdsText(HWND window, const std::string& text);

// Presses and releases a key on the keyboard, with `window` brought to the
// foreground first so that the key goes to it.
void typeKey(HWND window, WORD virtualKey);

}  // namespace quilldex::testing::ui
