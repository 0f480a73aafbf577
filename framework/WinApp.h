// The application object: one global instance of a class derived from WinApp.
// The entry point fills in the start-up values and calls InitInstance; when it
// returns false the application ends after ExitInstance.
#pragma once

#include <windows.h>

#include "MessageMap.h"

namespace fw {

class Window;

class WinApp : public CmdTarget {
public:
    WinApp();
    ~WinApp() override;
    WinApp(const WinApp&) = delete;
    WinApp& operator=(const WinApp&) = delete;

    static WinApp* Current() { return s_current; }
    // The application object as an interface that a lower layer declares and
    // the application implements (a window's host), or null.
    template <class Interface>
    static Interface* CurrentAs() {
        return dynamic_cast<Interface*>(s_current);
    }

    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance();

    // The default help action: the help file's contents.
    void OnHelp();

    HINSTANCE m_hInstance = nullptr;
    LPSTR m_lpCmdLine = nullptr;     // the arguments, without the program's own name
    int m_nCmdShow = SW_SHOWNORMAL;
    const char* m_pszExeName = "";   // executable file name without directory and extension
    const char* m_pszHelpFilePath = "";  // the help file; the application sets it
    Window* m_pMainWnd = nullptr;

    // Called by the entry point before InitInstance.
    void Start(HINSTANCE instance, LPSTR cmdLine, int cmdShow);

private:
    static WinApp* s_current;
    char m_exeName[MAX_PATH] = {};
};

}  // namespace fw
