// A window object bound to its window handle. Messages reach the object's
// message map through a static thunk; what the map lacks goes to the window's
// default procedure (DefWindowProc, or the original procedure of a subclassed
// window such as a dialog).
#pragma once

#include <windows.h>

#include "MessageMap.h"

namespace fw {

class Window : public CmdTarget {
public:
    Window() = default;
    // Destroys the window if it still exists.
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Creates a window of a class whose procedure is StaticWndProc (see
    // RegisterWndClass); the object is bound before WM_NCCREATE returns.
    bool CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                  int y, int width, int height, HWND parent, HMENU menu);

    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;

protected:
    // Binds an existing window (a dialog) to this object and routes its
    // messages here; the original procedure becomes the default processing.
    void SubclassWindow(HWND hwnd);

    // Dispatches one message: the message map, commands, then Default().
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Routes a WM_COMMAND; true when some map handled it.
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam);
    // Called after the window is gone (WM_NCDESTROY), with m_hWnd null.
    virtual void PostNcDestroy() {}

    // Deletes the object now, or, when one of its window's messages is in
    // progress, once the outermost of them has returned. The one safe way
    // for a window object to delete itself.
    void DeleteWhenIdle();

    // Default processing of the message being handled.
    LRESULT Default();

private:
    LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    struct CurrentMessage {
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };
    CurrentMessage m_current;
    int m_messageDepth = 0;       // messages of the window in progress
    bool m_deletePending = false;  // deleted when m_messageDepth returns to 0
    WNDPROC m_defaultProc = ::DefWindowProcA;
    bool m_subclassed = false;
};

// Registers a window class whose windows are framework windows and returns
// its name, which the framework owns for the rest of the process. Classes with
// the same attributes share one registration.
const char* RegisterWndClass(UINT style, HCURSOR cursor, HBRUSH background, HICON icon);

}  // namespace fw
