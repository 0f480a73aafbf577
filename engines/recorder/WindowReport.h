// Journals the process's top-level windows and their menus. It runs inside the
// shell's process, where menus can be read directly.
#pragma once

namespace recorder {

// For each top-level window of this process, in EnumWindows order:
//   window hwnd=0x%08lX class="..." title="..." style=0x%08lX exstyle=0x%08lX
//          rect=l,t,r,b client=w,h visible=0|1 owner=0x%08lX
// and, if it has a menu, one line per item of the menu bar's popups, and of
// the popups nested one level below them:
//   menu hwnd=0x%08lX popup="..." id=<id> text="..." state=0x%08X
void JournalWindows();

// For each open pop-up menu of this process (a context menu being tracked,
// window class "#32768"), one line per item, popup "#32768":
//   menu hwnd=<the pop-up window> popup="#32768" id=<id> text="..." state=0x%08X
// Nothing while no pop-up menu is open.
void JournalPopupMenus();

}  // namespace recorder
