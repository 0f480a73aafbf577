// What a user sees of the running shell, read from another process: its
// top-level windows, their rectangles and styles, the keyboard focus of its
// GUI thread, and its menus' item states, which only code inside the shell
// can read (the recording engine's "rec.window" journals them).
#pragma once

#include <windows.h>

#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

#include "ShellProcess.h"
#include "ShellWindowFind.h"
#include "Wait.h"

namespace vt {

inline constexpr char kCameraTitle[] = "Velmor Camera";

std::vector<HWND> CameraWindows(ShellProcess& shell);

// Chooses "&New Camera" in the console's menu and returns the camera window
// that appeared; null on timeout.
HWND NewCamera(ShellProcess& shell);

// Sends a menu command to a window, as its menu would, and returns once the
// shell has handled it.
void ChooseMenuItem(HWND window, UINT id);

SIZE ClientSize(HWND window);
RECT WindowRect(HWND window);
bool IsTopmost(HWND window);

// Waits until the window has the keyboard focus in its thread; false on
// timeout.
bool WaitForFocus(HWND window, std::chrono::milliseconds timeout = std::chrono::seconds(5));
// A left click in the window's client area, posted as the mouse would.
void Click(HWND window);
// A click into an edit-like control (the output pane, the command line) at
// the top left of its text, posted as the mouse would; true once the shell
// has handled it, i.e. the caret is at the character there. Waiting for the
// focus alone is not enough where the control had it already, and a message
// sent meanwhile would overtake the posted click.
bool ClickText(HWND edit);
// Presses the keys in order and lets them go in reverse, through the system's
// input (SendInput), with `window` brought to the foreground first: the
// shell's thread sees the modifier keys down, as for a user's keys.
void PressKeys(HWND window, std::initializer_list<WORD> keys);
// Posts a key press (down and up) to a window, without modifiers.
void PostKey(HWND window, WORD key);

struct MenuItem {
    unsigned long window;  // hwnd of the window whose menu bar holds the item
    std::string popup;     // "&File", or "<outer>/<inner>" for a nested popup
    int id;                // command id; -1 popup, 0 separator
    std::string text;
    unsigned state;  // GetMenuState: MF_GRAYED, MF_CHECKED, ...
};

// The menu items of every top-level window of the shell, read inside the
// shell through "rec.window" (one engine command) at this moment.
std::vector<MenuItem> ReadMenus(ShellProcess& shell);
// The items of one window's menu bar.
std::vector<MenuItem> MenuOf(const std::vector<MenuItem>& menus, HWND window);
// The state of the item with this command id in one window's menu; throws if
// the menu lacks it.
unsigned ItemState(const std::vector<MenuItem>& menus, HWND window, int id);

// The items of the context menu the shell is showing, journaled by
// "rec.ontick rec.popup" (which the caller runs first) in one whole tick
// after journal line `fromLine`; empty if none showed within the timeout.
std::vector<MenuItem> WaitForPopupMenu(ShellProcess& shell, std::size_t fromLine,
                                       std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace vt
