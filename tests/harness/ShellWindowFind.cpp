#include "ShellWindowFind.h"

namespace vt {

namespace {

struct WindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid) search->found.push_back(window);
    return TRUE;
}

std::string Title(HWND window) {
    char title[128] = {};
    ::GetWindowTextA(window, title, sizeof title);
    return title;
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD pid) {
    WindowSearch search{pid, {}};
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> TopLevelWindows(DWORD pid, const std::string& title) {
    std::vector<HWND> found;
    for (HWND window : TopLevelWindows(pid))
        if (Title(window) == title) found.push_back(window);
    return found;
}

HWND FindConsoleWindow(DWORD pid) {
    const std::vector<HWND> consoles = TopLevelWindows(pid, kConsoleTitle);
    return consoles.empty() ? nullptr : consoles.front();
}

std::string WindowText(HWND window) {
    const LRESULT length = ::SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied =
        ::SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

}  // namespace vt
