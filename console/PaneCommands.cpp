// The output pane's context menu (Copy, Select All, Find...) and the find
// commands of the console: Ctrl+F, F3 and Shift+F3, and the Find dialog's
// requests.
#include <windows.h>

#include <algorithm>

#include "UniqueHandle.h"
#include "VelmorConsole.h"
#include "WinApp.h"
#include "resource.h"

LRESULT VelmorConsole::OnContextMenu(WPARAM window, LPARAM point) {
    HWND pane = m_Output.m_hWnd;
    if (reinterpret_cast<HWND>(window) != pane) return Default();

    const fw::UniqueMenu menu(
        ::LoadMenuA(fw::WinApp::Current()->m_hInstance, MAKEINTRESOURCEA(IDR_PANE_MENU)));
    HMENU popup = menu ? ::GetSubMenu(menu.get(), 0) : nullptr;  // borrowed
    if (!popup) return 0;
    DWORD from = 0, to = 0;
    m_Output.GetSel(from, to);
    ::EnableMenuItem(popup, ID_EDIT_COPY, MF_BYCOMMAND | (from != to ? MF_ENABLED : MF_GRAYED));

    POINT at{static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    if (point == -1) {
        // From the keyboard: at the caret, kept inside the pane.
        const LRESULT caret = ::SendMessageA(pane, EM_POSFROMCHAR, to, 0);
        RECT client{};
        ::GetClientRect(pane, &client);
        at.x = std::clamp<LONG>(static_cast<short>(LOWORD(caret)), 0, client.right);
        at.y = std::clamp<LONG>(static_cast<short>(HIWORD(caret)), 0, client.bottom);
        ::ClientToScreen(pane, &at);
    }
    const UINT command = static_cast<UINT>(
        ::TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr));
    switch (command) {
        case ID_EDIT_COPY: m_Output.Copy(); break;
        case ID_EDIT_SELECT_ALL: m_Output.SetSel(0, -1); break;
        case ID_EDIT_FIND: m_find.Open(); break;
        default: break;  // dismissed
    }
    return 0;
}

void VelmorConsole::OnEditFind() { m_find.Open(); }

void VelmorConsole::OnEditFindNext() { m_find.Repeat(false); }

void VelmorConsole::OnEditFindPrevious() { m_find.Repeat(true); }

LRESULT VelmorConsole::OnFindMessage(WPARAM, LPARAM request) {
    if (request) m_find.OnFindMessage(*reinterpret_cast<const FINDREPLACEA*>(request));
    return 0;
}
