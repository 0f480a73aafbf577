#include "Window.h"

#include <cstdio>
#include <list>
#include <string>

#include "ExceptionCarrier.h"

namespace fw {

Window::~Window() {
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

bool Window::CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style,
                      int x, int y, int width, int height, HWND parent, HMENU menu) {
    HWND hwnd = ::CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent,
                                  menu, ::GetModuleHandleA(nullptr), this);
    return hwnd != nullptr;
}

void Window::SubclassWindow(HWND hwnd) {
    m_hWnd = hwnd;
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_defaultProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
        hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::StaticWndProc)));
    m_subclassed = true;
}

LRESULT CALLBACK Window::StaticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // CreateEx passes the object as the creation parameter; a window whose
    // class procedure makes its own object has bound it before this call.
    if (message == WM_NCCREATE && !::GetWindowLongPtrA(hwnd, GWLP_USERDATA)) {
        if (auto* created = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams)) {
            created->m_hWnd = hwnd;
            ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        }
    }
    auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcA(hwnd, message, wParam, lParam);
    return self->Dispatch(hwnd, message, wParam, lParam);
}

LRESULT Window::Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const CurrentMessage saved = m_current;
    m_current = {message, wParam, lParam};
    ++m_messageDepth;
    LRESULT result = 0;
    try {
        result = WindowProc(message, wParam, lParam);
    } catch (...) {
        // Never let an exception reach the system's frames.
        CarryException(std::current_exception());
    }
    m_current = saved;
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        if (m_subclassed) {
            ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_defaultProc));
            m_subclassed = false;
        }
        m_defaultProc = ::DefWindowProcA;
        m_hWnd = nullptr;
        try {
            PostNcDestroy();
        } catch (...) {
            CarryException(std::current_exception());
        }
    }
    // An object deleted from inside its own messages goes once the outermost
    // of them has returned.
    if (--m_messageDepth == 0 && m_deletePending) delete this;
    return result;
}

void Window::DeleteWhenIdle() {
    if (m_messageDepth > 0) {
        m_deletePending = true;
        return;
    }
    delete this;
}

LRESULT Window::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        if (OnCommand(wParam, lParam)) return 0;
        return Default();
    }
    if (const MessageMapEntry* e = FindMessageEntry(GetMessageMap(), message, wParam))
        return e->handler(*this, wParam, lParam);
    return Default();
}

bool Window::OnCommand(WPARAM wParam, LPARAM lParam) {
    // Menu commands (lParam 0) and accelerators (code 1) are both commands.
    const UINT code = lParam == 0 ? 0 : HIWORD(wParam);
    return OnCmdMsg(LOWORD(wParam), code);
}

LRESULT Window::Default() {
    return ::CallWindowProcA(m_defaultProc, m_hWnd, m_current.message, m_current.wParam,
                             m_current.lParam);
}

const char* RegisterWndClass(UINT style, HCURSOR cursor, HBRUSH background, HICON icon) {
    static std::list<std::string> names;  // stable storage for the returned names
    char name[96];
    std::snprintf(name, sizeof name, "Velmor:%x:%p:%p:%p", style, static_cast<void*>(cursor),
                  static_cast<void*>(background), static_cast<void*>(icon));
    for (const std::string& n : names)
        if (n == name) return n.c_str();

    WNDCLASSA wc{};
    wc.style = style;
    wc.lpfnWndProc = &Window::StaticWndProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = name;
    if (!::RegisterClassA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    return names.emplace_back(name).c_str();
}

}  // namespace fw
