// The output pane's control: a read-only, unwrapped, multi-line text view of
// the shell's own, with caret, selection (mouse and keyboard), scrolling and
// Copy. It answers the messages of a read-only multi-line edit control
// (WM_GETTEXT, EM_SETSEL, EM_REPLACESEL, EM_GETLINECOUNT, EM_LINEINDEX, ...),
// so the console drives it as an edit control.
//
// A change of its text costs no drawing: the view keeps its lines and paints
// only the visible ones. Changes made through messages are painted together
// (a chatty engine's burst of lines makes one paint) when the owner sends
// kFlushMessage, or within kRepaintIntervalMs when it does not; what the user
// does is painted at once. The scroll bar, whose every change redraws it,
// follows streaming lines at most once per kScrollBarIntervalMs.
//
// A dialog template names the class (kClassName); every window of the class
// makes its own object, which frees itself when the window is destroyed.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>

#include "GdiHandles.h"
#include "PaintSchedule.h"
#include "PaneText.h"
#include "Window.h"

// An object selected into a device context, put back on release.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : m_hDC(dc), m_old(object ? ::SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (m_old) ::SelectObject(m_hDC, m_old);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_old;
};

// A memory device context compatible with the screen, for measuring text.
class UniqueDC {
public:
    UniqueDC() : m_hDC(::CreateCompatibleDC(nullptr)) {}
    ~UniqueDC() {
        if (m_hDC) ::DeleteDC(m_hDC);
    }
    UniqueDC(const UniqueDC&) = delete;
    UniqueDC& operator=(const UniqueDC&) = delete;

    HDC Get() const { return m_hDC; }

private:
    HDC m_hDC;
};

class OutputView final : public fw::Window, private PaintSchedule::View {
public:
    static constexpr char kClassName[] = "VelmorOutput";
    static constexpr DWORD kRepaintIntervalMs = PaintSchedule::kRepaintIntervalMs;
    // Sent by the owner at a moment that suits a paint (right after an engine
    // tick): the view does the work it has put off, and leaves what comes
    // next to the next such message, or to its timer if none comes within
    // kFlushTimeoutMs. wParam and lParam are 0.
    static constexpr UINT kFlushMessage = WM_USER + 0x200;
    static constexpr DWORD kFlushTimeoutMs = PaintSchedule::kFlushTimeoutMs;

    // Registers the window class once per process; false if that failed.
    static bool RegisterClass(HINSTANCE instance);

protected:
    const fw::MessageMap* GetMessageMap() const override;
    void PostNcDestroy() override { DeleteWhenIdle(); }

private:
    static constexpr UINT_PTR kDeferredTimerId = 1;

    OutputView() = default;
    ~OutputView() override = default;
    static LRESULT CALLBACK ClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Edit control messages (OutputView.cpp).
    LRESULT OnCreate(WPARAM, LPARAM);
    LRESULT OnGetText(WPARAM size, LPARAM buffer);
    LRESULT OnGetTextLength(WPARAM, LPARAM);
    LRESULT OnSetText(WPARAM, LPARAM text);
    LRESULT OnGetSel(WPARAM start, LPARAM end);
    LRESULT OnSetSel(WPARAM start, LPARAM end);
    LRESULT OnReplaceSel(WPARAM, LPARAM text);
    LRESULT OnGetLineCount(WPARAM, LPARAM);
    LRESULT OnLineIndex(WPARAM line, LPARAM);
    LRESULT OnLineLength(WPARAM at, LPARAM);
    LRESULT OnLineFromChar(WPARAM at, LPARAM);
    LRESULT OnGetLine(WPARAM line, LPARAM buffer);
    LRESULT OnPosFromChar(WPARAM at, LPARAM);
    LRESULT OnCharFromPos(WPARAM, LPARAM point);
    LRESULT OnGetFirstVisibleLine(WPARAM, LPARAM);
    LRESULT OnScrollCaret(WPARAM, LPARAM);
    LRESULT OnLineScroll(WPARAM columns, LPARAM lines);
    LRESULT OnGetRect(WPARAM, LPARAM rect);
    LRESULT OnGetLimitText(WPARAM, LPARAM);
    LRESULT OnCopy(WPARAM, LPARAM);
    LRESULT OnIgnored(WPARAM, LPARAM);
    LRESULT OnSetFont(WPARAM font, LPARAM redraw);
    LRESULT OnGetFont(WPARAM, LPARAM);
    LRESULT OnGetDlgCode(WPARAM, LPARAM message);

    // Painting and scrolling (OutputViewPaint.cpp).
    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnEraseBackground(WPARAM, LPARAM);
    LRESULT OnSize(WPARAM, LPARAM);
    LRESULT OnVScroll(WPARAM code, LPARAM);
    LRESULT OnMouseWheel(WPARAM state, LPARAM);
    void PaintLines(HDC dc, const RECT& client);
    // The selection shows while the view has the focus, or a window that its
    // dialog owns has it (the Find dialog, whose matches it selects).
    bool SelectionShown() const;

    // Focus, keyboard and mouse (OutputViewInput.cpp).
    LRESULT OnSetFocus(WPARAM, LPARAM);
    LRESULT OnKillFocus(WPARAM, LPARAM);
    LRESULT OnKeyDown(WPARAM key, LPARAM);
    LRESULT OnChar(WPARAM character, LPARAM);
    LRESULT OnLButtonDown(WPARAM keys, LPARAM point);
    LRESULT OnLButtonDblClk(WPARAM keys, LPARAM point);
    LRESULT OnMouseMove(WPARAM keys, LPARAM point);
    LRESULT OnLButtonUp(WPARAM keys, LPARAM point);
    LRESULT OnCaptureChanged(WPARAM, LPARAM);
    LRESULT OnRButtonDown(WPARAM keys, LPARAM point);
    LRESULT OnRButtonUp(WPARAM keys, LPARAM point);
    LRESULT OnSysKeyDown(WPARAM key, LPARAM flags);
    // Asks for the context menu, which the parent shows (WM_CONTEXTMENU at
    // the pointer's screen position, or -1 from the keyboard).
    void ContextMenu(LPARAM screenPoint);

    // When the view paints (OutputViewSchedule.cpp; the decisions are m_schedule's).
    LRESULT OnTimer(WPARAM id, LPARAM);
    LRESULT OnFlush(WPARAM, LPARAM);
    // The text changed through a message: paint at the next flush, or soon.
    void TextChanged();
    // The user moved the caret or scrolled: lay out and paint now.
    void ViewChanged();
    bool SetPaintTimer(DWORD delayMs) override;
    void KillPaintTimer() override;
    void PaintNow() override;
    // Brings the top line, the horizontal offset (after a scroll to the caret,
    // if one is asked for), the scroll bar and the caret up to date.
    void LayOut() override;
    // Sets the selection; the caret stands at `caret`.
    void Select(std::size_t anchor, std::size_t caret);
    void ScrollTo(int topLine);
    void CopySelection() const;
    void NotifyParent(WORD code) const;

    // Geometry. The text rectangle is the client area without its margins.
    RECT TextRect() const;
    int VisibleLines() const;
    // Width in pixels of the first `count` characters of a line.
    int Extent(int line, std::size_t count) const;
    POINT PointOfChar(std::size_t at) const;  // client coordinates
    std::size_t CharFromPoint(int x, int y) const;
    // The character of a line nearest to `x` pixels from the line's start.
    std::size_t CharAtX(int line, int x) const;
    std::size_t LineEnd(int line) const { return m_text.LineIndex(line) + m_text.Line(line).size(); }

    PaneText m_text;
    HFONT m_font = nullptr;  // the dialog's: not owned
    UniqueDC m_measure;      // measures text in the view's font
    std::optional<SelectedObject> m_measureFont;
    int m_lineHeight = 13;
    int m_charWidth = 6;
    std::size_t m_anchor = 0;  // the selection runs from the anchor to the caret
    std::size_t m_caret = 0;
    int m_topLine = 0;
    int m_xOffset = 0;       // pixels scrolled to the left
    int m_desiredX = -1;     // caret's x kept over up and down moves; -1: none
    int m_wheelDelta = 0;    // wheel turns not yet a whole line
    bool m_focused = false;
    bool m_dragging = false;
    bool m_scrollToCaret = false;
    PaintSchedule m_schedule{*this};
    SCROLLINFO m_shownScroll{};  // what the scroll bar was last given

    static const fw::MessageMapEntry messageEntries[];
    static const fw::MessageMap messageMap;
};
