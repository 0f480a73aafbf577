// An edit control of a dialog, bound by the dialog at its start. The dialog owns
// the control's window; this object only borrows the handle.
#pragma once

#include <windows.h>

#include <string>

class Edit {
public:
    HWND m_hWnd = nullptr;  // borrowed

    std::string GetText() const;
    void SetText(const char* text) const { ::SetWindowTextA(m_hWnd, text); }
    int GetLineCount() const { return static_cast<int>(Send(EM_GETLINECOUNT)); }
    int LineIndex(int line) const { return static_cast<int>(Send(EM_LINEINDEX, line)); }
    int GetTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }
    void SetSel(int start, int end) const { Send(EM_SETSEL, start, end); }
    // The selection's first and past-the-last characters, whatever their size.
    void GetSel(DWORD& start, DWORD& end) const {
        Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    }
    void ReplaceSel(const char* text, bool canUndo) const {
        Send(EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(text));
    }
    void ScrollCaret() const { Send(EM_SCROLLCARET); }
    // 0 lifts the limit to the control's maximum.
    void Copy() const { Send(WM_COPY); }
    void Paste() const { Send(WM_PASTE); }

private:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
};
