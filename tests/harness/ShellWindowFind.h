// The shell's top-level windows found from another process by its id: the
// console ("Velmor Console") and any other window, visible or hidden.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vt {

inline constexpr char kConsoleTitle[] = "Velmor Console";

// Top-level windows of process `pid`, in stacking order (topmost first).
std::vector<HWND> TopLevelWindows(DWORD pid);
// Those of them with this title.
std::vector<HWND> TopLevelWindows(DWORD pid, const std::string& title);
// The console window of process `pid`, or null.
HWND FindConsoleWindow(DWORD pid);
// Text of a window (cross-process WM_GETTEXT).
std::string WindowText(HWND window);

}  // namespace vt
