#include "WindowReport.h"

#include "Journal.h"
#include "TextFormat.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace recorder {

namespace {

unsigned long HandleValue(const void* handle) {
    return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(handle));
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    }
    return TRUE;
}

std::string ClassName(HWND window) {
    // Class names have at most 256 characters; a longer one would be cut.
    char name[257] = {};
    if (GetClassNameA(window, name, sizeof name) <= 0) name[0] = '\0';
    return name;
}

std::string Title(HWND window) {
    // WM_GETTEXT cuts the title to fit the buffer. A window of another thread
    // that does not answer within a second reports an empty title.
    char title[1024] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof title, reinterpret_cast<LPARAM>(title),
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000, &copied)) {
        title[0] = '\0';
    }
    title[sizeof title - 1] = '\0';
    return title;
}

std::string ItemText(HMENU menu, int position) {
    // GetMenuString cuts the text to fit the buffer.
    char text[512] = {};
    if (GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION) <= 0) {
        text[0] = '\0';
    }
    return text;
}

// Separators (id 0) and popups (id -1) have no command id to ask by, so their
// state is asked by position.
void JournalMenuItem(HWND window, HMENU menu, int position, const std::string& popup) {
    const UINT id = GetMenuItemID(menu, position);
    const bool byCommand = id != 0 && id != static_cast<UINT>(-1);
    const UINT state = byCommand ? GetMenuState(menu, id, MF_BYCOMMAND)
                                 : GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION);
    Journal(Format("menu hwnd=0x%08lX popup=%s id=%d text=%s state=0x%08X", HandleValue(window),
                   Quote(popup).c_str(), static_cast<int>(id), Quote(ItemText(menu, position)).c_str(),
                   state));
}

// A nested popup's items name their popup "<outer>/<inner>".
void JournalPopup(HWND window, HMENU popup, const std::string& name, int depth) {
    const int count = GetMenuItemCount(popup);
    for (int position = 0; position < count; ++position) {
        JournalMenuItem(window, popup, position, name);
        const HMENU nested = GetSubMenu(popup, position);  // borrowed, owned by the menu
        if (nested && depth < 2) {
            JournalPopup(window, nested, name + '/' + ItemText(popup, position), depth + 1);
        }
    }
}

void JournalMenuBar(HWND window) {
    const HMENU bar = GetMenu(window);  // borrowed, owned by the window
    if (!bar || !IsMenu(bar)) return;
    const int count = GetMenuItemCount(bar);
    for (int position = 0; position < count; ++position) {
        const HMENU popup = GetSubMenu(bar, position);
        if (popup) {
            JournalPopup(window, popup, ItemText(bar, position), 1);
        } else {
            JournalMenuItem(window, bar, position, "");  // a command on the bar itself
        }
    }
}

void JournalWindow(HWND window) {
    RECT bounds{};
    RECT client{};
    GetWindowRect(window, &bounds);
    GetClientRect(window, &client);
    const auto style = static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE));
    const auto exStyle = static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE));
    Journal(Format("window hwnd=0x%08lX class=%s title=%s style=0x%08lX exstyle=0x%08lX "
                   "rect=%ld,%ld,%ld,%ld client=%ld,%ld visible=%d owner=0x%08lX",
                   HandleValue(window), Quote(ClassName(window)).c_str(),
                   Quote(Title(window)).c_str(), style, exStyle, bounds.left, bounds.top,
                   bounds.right, bounds.bottom, client.right - client.left,
                   client.bottom - client.top, IsWindowVisible(window) ? 1 : 0,
                   HandleValue(GetWindow(window, GW_OWNER))));
    JournalMenuBar(window);
}

}  // namespace

void JournalWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    for (const HWND window : windows) JournalWindow(window);
}

void JournalPopupMenus() {
    constexpr char kPopupMenuClass[] = "#32768";
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    for (const HWND window : windows) {
        if (!IsWindowVisible(window) || ClassName(window) != kPopupMenuClass) continue;
        const auto menu = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));  // borrowed
        if (menu && IsMenu(menu)) JournalPopup(window, menu, kPopupMenuClass, 1);
    }
}

}  // namespace recorder
