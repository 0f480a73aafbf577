#include "PaneFind.h"

#include <cstring>

namespace {

using FindTextProc = HWND(WINAPI*)(LPFINDREPLACEA);

// FindTextA of the library, loading it once by its full path in the system
// folder, so that no copy in the working directory is taken instead. A system
// folder whose path does not fit is refused.
FindTextProc FindTextEntry(fw::UniqueLibrary& library) {
    if (!library) {
        constexpr char kName[] = "\\comdlg32.dll";
        char path[MAX_PATH];
        const UINT n = ::GetSystemDirectoryA(path, MAX_PATH);
        if (n == 0 || n + sizeof kName > MAX_PATH) return nullptr;
        std::memcpy(path + n, kName, sizeof kName);
        library.reset(::LoadLibraryA(path));
    }
    if (!library) return nullptr;
    // Through void(*)(), which converts to any function pointer type.
    return reinterpret_cast<FindTextProc>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library.get(), "FindTextA")));
}

}  // namespace

UINT PaneFind::FindMessage() {
    static const UINT message = ::RegisterWindowMessageA(FINDMSGSTRINGA);
    return message;
}

void PaneFind::Open() {
    if (m_dialog) {
        ::SetActiveWindow(m_dialog);
        return;
    }
    m_request = {};
    m_request.lStructSize = sizeof m_request;
    m_request.hwndOwner = m_owner;
    m_request.lpstrFindWhat = m_what;
    m_request.wFindWhatLen = sizeof m_what;
    m_request.Flags = (!m_searched || m_last.down ? FR_DOWN : 0) | (m_last.matchCase ? FR_MATCHCASE : 0) |
                      (m_last.wholeWord ? FR_WHOLEWORD : 0);
    FindTextProc findText = FindTextEntry(m_dialogLibrary);
    if (!findText) {
        ::MessageBeep(MB_ICONERROR);  // no dialog to be had: say so, as a failed search does
        return;
    }
    m_dialog = findText(&m_request);
}

void PaneFind::Repeat(bool reverse) {
    if (!m_searched) {
        Open();
        return;
    }
    PaneSearch search = m_last;
    if (reverse) search.down = !search.down;
    Search(search);
}

void PaneFind::OnFindMessage(const FINDREPLACEA& request) {
    if (request.Flags & FR_DIALOGTERM) {
        m_dialog = nullptr;  // the dialog destroys itself
        // The pane shows its selection while the dialog has the focus: no longer.
        ::InvalidateRect(m_pane.m_hWnd, nullptr, FALSE);
        return;
    }
    if (!(request.Flags & FR_FINDNEXT)) return;
    m_what[sizeof m_what - 1] = '\0';  // the dialog terminates it; a cut is the worst case
    m_last.what = m_what;
    m_last.matchCase = (request.Flags & FR_MATCHCASE) != 0;
    m_last.wholeWord = (request.Flags & FR_WHOLEWORD) != 0;
    m_last.down = (request.Flags & FR_DOWN) != 0;
    m_searched = true;
    Search(m_last);
}

void PaneFind::Search(const PaneSearch& search) {
    DWORD from = 0, to = 0;
    m_pane.GetSel(from, to);
    const std::optional<PaneMatch> match = FindInPane(m_pane.GetText(), search, from, to);
    if (!match) {
        // Nothing found: the beep, and no selection where the search began.
        ::MessageBeep(MB_OK);
        const int at = static_cast<int>(search.down ? to : from);
        m_pane.SetSel(at, at);
        return;
    }
    m_pane.SetSel(static_cast<int>(match->from), static_cast<int>(match->to));
    m_pane.ScrollCaret();
}

bool PaneFind::PreTranslateMessage(MSG& msg) const {
    if (!m_dialog || (msg.hwnd != m_dialog && !::IsChild(m_dialog, msg.hwnd))) return false;
    return ::IsDialogMessageA(m_dialog, &msg) != FALSE;
}

void PaneFind::Close() {
    if (m_dialog && ::IsWindow(m_dialog)) ::DestroyWindow(m_dialog);
    m_dialog = nullptr;
}
