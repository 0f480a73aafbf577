// Find in the output pane: the system's Find dialog (modeless, owned by the
// console), and the last search, which F3 and Shift+F3 repeat. A match is
// selected in the pane and scrolled into view; a search that finds nothing
// beeps and leaves nothing selected.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include "Edit.h"
#include "PaneSearch.h"
#include "UniqueHandle.h"

class PaneFind {
public:
    // The pane is searched; the owner gets the dialog's messages (FindMessage).
    PaneFind(const Edit& pane, const HWND& owner) : m_pane(pane), m_owner(owner) {}
    ~PaneFind() { Close(); }
    PaneFind(const PaneFind&) = delete;
    PaneFind& operator=(const PaneFind&) = delete;

    // The message the Find dialog sends its owner.
    static UINT FindMessage();

    // Opens the Find dialog, or activates it if it is open.
    void Open();
    // Repeats the last search in its own direction (`reverse` false) or the
    // other; with no search yet, opens the dialog.
    void Repeat(bool reverse);
    // Handles FindMessage (lParam: the dialog's FINDREPLACE).
    void OnFindMessage(const FINDREPLACEA& request);
    // Hands a keyboard message meant for the dialog to it; true when it took it.
    bool PreTranslateMessage(MSG& msg) const;
    void Close();

private:
    void Search(const PaneSearch& search);

    const Edit& m_pane;
    const HWND& m_owner;  // the console's window handle, as it changes
    // The dialog's library, loaded at the first Find rather than with the
    // shell: it brings the shell and print libraries along, a start-up cost
    // most runs never need. Freed after the dialog (declared before it).
    fw::UniqueLibrary m_dialogLibrary;
    HWND m_dialog = nullptr;
    FINDREPLACEA m_request{};      // the dialog's, for as long as it lives
    char m_what[256] = {};         // the text the dialog edits
    PaneSearch m_last;
    bool m_searched = false;
};
