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

    std::snprintf(m_helpPath, sizeof m_helpPath, "%s", path);
    char* dot = std::strrchr(m_helpPath, '.');
    char* slash = std::strrchr(m_helpPath, '\\');
    if (dot && (!slash || dot > slash) && static_cast<size_t>(dot - m_helpPath) + 5 < MAX_PATH)
        std::strcpy(dot, ".HLP");
    m_pszHelpFilePath = m_helpPath;
}

int WinApp::ExitInstance() {
    OleTerm();
    return 0;
}

bool WinApp::HasSwitch(const char* name) const {
    const char* p = m_lpCmdLine;
    const size_t length = std::strlen(name);
    while (p && *p) {
        while (*p == ' ' || *p == '\t') ++p;
        const char* start = p;
        while (*p && *p != ' ' && *p != '\t') ++p;
        const size_t wordLength = static_cast<size_t>(p - start);
        if (wordLength == length + 1 && (*start == '-' || *start == '/') &&
            ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, start + 1,
                             static_cast<int>(length), name,
                             static_cast<int>(length)) == CSTR_EQUAL)
            return true;
    }
    return false;
}

bool WinApp::RunEmbedded() const { return HasSwitch("Embedding"); }

bool WinApp::RunAutomated() const { return HasSwitch("Automation"); }

void WinApp::OnHelp() {
    HWND owner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    ::WinHelpA(owner, m_pszHelpFilePath, HELP_FINDER, 0);  // result deliberately ignored
}

}  // namespace fw
