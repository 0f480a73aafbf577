#include "WinApp.h"

#include <cstdio>
#include <cstring>

#include "OleApp.h"
#include "Window.h"

namespace fw {

WinApp* WinApp::s_current = nullptr;

WinApp::WinApp() { s_current = this; }

WinApp::~WinApp() {
    if (s_current == this) s_current = nullptr;
}

void WinApp::Start(HINSTANCE instance, LPSTR cmdLine, int cmdShow) {
    m_hInstance = instance;
    m_lpCmdLine = cmdLine ? cmdLine : const_cast<LPSTR>("");
    m_nCmdShow = cmdShow;

    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) path[0] = '\0';  // cut paths are not used

    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':') base = p + 1;
    std::snprintf(m_exeName, sizeof m_exeName, "%s", base);
    if (char* dot = std::strrchr(m_exeName, '.')) *dot = '\0';
    m_pszExeName = m_exeName;
}

int WinApp::ExitInstance() {
    OleTerm();
    return 0;
}

void WinApp::OnHelp() {
    HWND owner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    ::WinHelpA(owner, m_pszHelpFilePath, HELP_FINDER, 0);  // result deliberately ignored
}

}  // namespace fw
