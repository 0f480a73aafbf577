#include "OutputView.h"

#include <algorithm>
#include <cstring>

#include "Clipboard.h"
#include "ExceptionCarrier.h"

namespace {

// What EM_GETLIMITTEXT answers: the pane has no limit of its own.
constexpr LRESULT kNoLimit = 0x7FFFFFFE;

}  // namespace

const fw::MessageMapEntry OutputView::messageEntries[] = {
    {WM_CREATE, 0, 0, fw::On<&OutputView::OnCreate>},
    {WM_GETTEXT, 0, 0, fw::On<&OutputView::OnGetText>},
    {WM_GETTEXTLENGTH, 0, 0, fw::On<&OutputView::OnGetTextLength>},
    {WM_SETTEXT, 0, 0, fw::On<&OutputView::OnSetText>},
    {EM_GETSEL, 0, 0, fw::On<&OutputView::OnGetSel>},
    {EM_SETSEL, 0, 0, fw::On<&OutputView::OnSetSel>},
    {EM_REPLACESEL, 0, 0, fw::On<&OutputView::OnReplaceSel>},
    {EM_GETLINECOUNT, 0, 0, fw::On<&OutputView::OnGetLineCount>},
    {EM_LINEINDEX, 0, 0, fw::On<&OutputView::OnLineIndex>},
    {EM_LINELENGTH, 0, 0, fw::On<&OutputView::OnLineLength>},
    {EM_LINEFROMCHAR, 0, 0, fw::On<&OutputView::OnLineFromChar>},
    {EM_GETLINE, 0, 0, fw::On<&OutputView::OnGetLine>},
    {EM_POSFROMCHAR, 0, 0, fw::On<&OutputView::OnPosFromChar>},
    {EM_CHARFROMPOS, 0, 0, fw::On<&OutputView::OnCharFromPos>},
    {EM_GETFIRSTVISIBLELINE, 0, 0, fw::On<&OutputView::OnGetFirstVisibleLine>},
    {EM_SCROLLCARET, 0, 0, fw::On<&OutputView::OnScrollCaret>},
    {EM_LINESCROLL, 0, 0, fw::On<&OutputView::OnLineScroll>},
    {EM_GETRECT, 0, 0, fw::On<&OutputView::OnGetRect>},
    {EM_GETLIMITTEXT, 0, 0, fw::On<&OutputView::OnGetLimitText>},
    {EM_SETLIMITTEXT, 0, 0, fw::On<&OutputView::OnIgnored>},  // no limit to set
    {EM_SETREADONLY, 0, 0, fw::On<&OutputView::OnIgnored>},   // always read-only
    {EM_GETMODIFY, 0, 0, fw::On<&OutputView::OnIgnored>},     // the user never modifies it
    {EM_CANUNDO, 0, 0, fw::On<&OutputView::OnIgnored>},
    {EM_UNDO, 0, 0, fw::On<&OutputView::OnIgnored>},
    {EM_EMPTYUNDOBUFFER, 0, 0, fw::On<&OutputView::OnIgnored>},
    {WM_COPY, 0, 0, fw::On<&OutputView::OnCopy>},
    {WM_PASTE, 0, 0, fw::On<&OutputView::OnIgnored>},  // read-only: the text stays
    {WM_CUT, 0, 0, fw::On<&OutputView::OnIgnored>},
    {WM_CLEAR, 0, 0, fw::On<&OutputView::OnIgnored>},
    {WM_UNDO, 0, 0, fw::On<&OutputView::OnIgnored>},
    {WM_SETFONT, 0, 0, fw::On<&OutputView::OnSetFont>},
    {WM_GETFONT, 0, 0, fw::On<&OutputView::OnGetFont>},
    {WM_GETDLGCODE, 0, 0, fw::On<&OutputView::OnGetDlgCode>},
    {WM_PAINT, 0, 0, fw::On<&OutputView::OnPaint>},
    {WM_ERASEBKGND, 0, 0, fw::On<&OutputView::OnEraseBackground>},
    {WM_SIZE, 0, 0, fw::On<&OutputView::OnSize>},
    {WM_TIMER, 0, 0, fw::On<&OutputView::OnTimer>},
    {kFlushMessage, 0, 0, fw::On<&OutputView::OnFlush>},
    {WM_VSCROLL, 0, 0, fw::On<&OutputView::OnVScroll>},
    {WM_MOUSEWHEEL, 0, 0, fw::On<&OutputView::OnMouseWheel>},
    {WM_SETFOCUS, 0, 0, fw::On<&OutputView::OnSetFocus>},
    {WM_KILLFOCUS, 0, 0, fw::On<&OutputView::OnKillFocus>},
    {WM_KEYDOWN, 0, 0, fw::On<&OutputView::OnKeyDown>},
    {WM_CHAR, 0, 0, fw::On<&OutputView::OnChar>},
    {WM_LBUTTONDOWN, 0, 0, fw::On<&OutputView::OnLButtonDown>},
    {WM_LBUTTONDBLCLK, 0, 0, fw::On<&OutputView::OnLButtonDblClk>},
    {WM_MOUSEMOVE, 0, 0, fw::On<&OutputView::OnMouseMove>},
    {WM_LBUTTONUP, 0, 0, fw::On<&OutputView::OnLButtonUp>},
    {WM_CAPTURECHANGED, 0, 0, fw::On<&OutputView::OnCaptureChanged>},
    {WM_RBUTTONDOWN, 0, 0, fw::On<&OutputView::OnRButtonDown>},
    {WM_RBUTTONUP, 0, 0, fw::On<&OutputView::OnRButtonUp>},
    {WM_SYSKEYDOWN, 0, 0, fw::On<&OutputView::OnSysKeyDown>},
};

const fw::MessageMap OutputView::messageMap = {nullptr, messageEntries};

const fw::MessageMap* OutputView::GetMessageMap() const { return &messageMap; }

bool OutputView::RegisterClass(HINSTANCE instance) {
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &OutputView::ClassProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorA(nullptr, IDC_IBEAM);
    wc.lpszClassName = kClassName;
    return ::RegisterClassA(&wc) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

LRESULT CALLBACK OutputView::ClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE && !::GetWindowLongPtrA(hwnd, GWLP_USERDATA)) {
        try {
            // A dialog template makes the window, so no object comes with it.
            auto* view = new OutputView;
            view->m_hWnd = hwnd;
            ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
        } catch (...) {
            fw::CarryException(std::current_exception());
            return FALSE;  // the window is not made
        }
    }
    return StaticWndProc(hwnd, message, wParam, lParam);
}

LRESULT OutputView::OnCreate(WPARAM, LPARAM) {
    OnSetFont(0, FALSE);  // the system font until the dialog gives its own
    return 0;
}

void OutputView::Select(std::size_t anchor, std::size_t caret) {
    m_anchor = m_text.Normalize(anchor);
    m_caret = m_text.Normalize(caret);
}

void OutputView::NotifyParent(WORD code) const {
    ::SendMessageA(::GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(m_hWnd), code),
                   reinterpret_cast<LPARAM>(m_hWnd));
}

void OutputView::CopySelection() const {
    if (m_anchor == m_caret) return;  // nothing selected: the clipboard keeps what it has
    SetClipboardText(m_hWnd, m_text.Text(m_anchor, m_caret));  // a clipboard that stays busy is given up
}

LRESULT OutputView::OnGetText(WPARAM size, LPARAM buffer) {
    char* out = reinterpret_cast<char*>(buffer);
    if (!out || size == 0) return 0;
    // Cut to the buffer, which always gets its terminating NUL.
    const std::string text = m_text.Text(0, std::min<std::size_t>(m_text.Length(), size - 1));
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    return static_cast<LRESULT>(text.size());
}

LRESULT OutputView::OnGetTextLength(WPARAM, LPARAM) { return static_cast<LRESULT>(m_text.Length()); }

LRESULT OutputView::OnSetText(WPARAM, LPARAM text) {
    const char* s = reinterpret_cast<const char*>(text);
    m_text.SetText(s ? s : "");
    Select(0, 0);
    m_topLine = 0;
    m_xOffset = 0;
    TextChanged();
    return TRUE;
}

LRESULT OutputView::OnGetSel(WPARAM start, LPARAM end) {
    const std::size_t from = std::min(m_anchor, m_caret);
    const std::size_t to = std::max(m_anchor, m_caret);
    if (start) *reinterpret_cast<DWORD*>(start) = static_cast<DWORD>(from);
    if (end) *reinterpret_cast<DWORD*>(end) = static_cast<DWORD>(to);
    // Offsets past 16 bits do not fit the packed result: -1, as edit controls answer.
    if (to > 0xFFFF) return -1;
    return MAKELRESULT(from, to);
}

LRESULT OutputView::OnSetSel(WPARAM start, LPARAM end) {
    const int first = static_cast<int>(start);
    const int last = static_cast<int>(end);
    if (first == -1) {
        Select(m_caret, m_caret);  // no selection; the caret stays
    } else {
        const std::size_t length = m_text.Length();
        const auto clamp = [length](int at) { return at < 0 ? length : std::min<std::size_t>(at, length); };
        Select(clamp(first), clamp(last));
    }
    TextChanged();
    return 0;
}

LRESULT OutputView::OnReplaceSel(WPARAM, LPARAM text) {
    const char* s = reinterpret_cast<const char*>(text);
    const std::size_t after = m_text.Replace(m_anchor, m_caret, s ? s : "");
    Select(after, after);
    m_scrollToCaret = true;  // as an edit control does, the caret comes into view
    TextChanged();
    return 0;
}

LRESULT OutputView::OnGetLineCount(WPARAM, LPARAM) { return m_text.LineCount(); }

LRESULT OutputView::OnLineIndex(WPARAM line, LPARAM) {
    int n = static_cast<int>(line);
    if (n == -1) n = m_text.LineFromChar(m_caret);
    if (n < 0 || n >= m_text.LineCount()) return -1;
    return static_cast<LRESULT>(m_text.LineIndex(n));
}

LRESULT OutputView::OnLineLength(WPARAM at, LPARAM) {
    const int index = static_cast<int>(at);
    const std::size_t where = index < 0 ? m_caret : static_cast<std::size_t>(index);
    if (where > m_text.Length()) return 0;
    return static_cast<LRESULT>(m_text.Line(m_text.LineFromChar(where)).size());
}

LRESULT OutputView::OnLineFromChar(WPARAM at, LPARAM) {
    const int index = static_cast<int>(at);
    const std::size_t where = index < 0 ? std::min(m_anchor, m_caret) : static_cast<std::size_t>(index);
    return m_text.LineFromChar(std::min(where, m_text.Length()));
}

LRESULT OutputView::OnGetLine(WPARAM line, LPARAM buffer) {
    const int n = static_cast<int>(line);
    char* out = reinterpret_cast<char*>(buffer);
    if (!out || n < 0 || n >= m_text.LineCount()) return 0;
    // The buffer's first word holds its size; the line is cut to it and gets no NUL.
    WORD size = 0;
    std::memcpy(&size, out, sizeof size);
    const std::string& text = m_text.Line(n);
    const std::size_t count = std::min<std::size_t>(text.size(), size);
    std::memcpy(out, text.data(), count);
    return static_cast<LRESULT>(count);
}

LRESULT OutputView::OnPosFromChar(WPARAM at, LPARAM) {
    if (at > m_text.Length()) return -1;
    LayOut();
    const POINT p = PointOfChar(at);
    return MAKELRESULT(static_cast<WORD>(static_cast<short>(p.x)), static_cast<WORD>(static_cast<short>(p.y)));
}

LRESULT OutputView::OnCharFromPos(WPARAM, LPARAM point) {
    LayOut();
    const std::size_t at = CharFromPoint(static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point)));
    return MAKELRESULT(at, m_text.LineFromChar(at));
}

LRESULT OutputView::OnGetFirstVisibleLine(WPARAM, LPARAM) {
    LayOut();
    return m_topLine;
}

LRESULT OutputView::OnScrollCaret(WPARAM, LPARAM) {
    m_scrollToCaret = true;
    TextChanged();
    return TRUE;
}

LRESULT OutputView::OnLineScroll(WPARAM columns, LPARAM lines) {
    LayOut();
    m_xOffset = std::max(0, m_xOffset + static_cast<int>(columns) * m_charWidth);
    ScrollTo(m_topLine + static_cast<int>(lines));
    return TRUE;
}

LRESULT OutputView::OnGetRect(WPARAM, LPARAM rect) {
    if (rect) *reinterpret_cast<RECT*>(rect) = TextRect();
    return 0;
}

LRESULT OutputView::OnGetLimitText(WPARAM, LPARAM) { return kNoLimit; }

LRESULT OutputView::OnCopy(WPARAM, LPARAM) {
    CopySelection();
    return 0;
}

LRESULT OutputView::OnIgnored(WPARAM, LPARAM) { return 0; }

LRESULT OutputView::OnSetFont(WPARAM font, LPARAM redraw) {
    m_font = reinterpret_cast<HFONT>(font);
    m_measureFont.reset();
    HGDIOBJ used = m_font ? static_cast<HGDIOBJ>(m_font) : ::GetStockObject(SYSTEM_FONT);
    if (m_measure.Get()) {
        m_measureFont.emplace(m_measure.Get(), used);
        TEXTMETRICA metrics{};
        if (::GetTextMetricsA(m_measure.Get(), &metrics)) {
            m_lineHeight = std::max<int>(1, metrics.tmHeight);
            m_charWidth = std::max<int>(1, metrics.tmAveCharWidth);
        }
    }
    if (m_focused) {
        ::DestroyCaret();
        ::CreateCaret(m_hWnd, nullptr, 1, m_lineHeight);
        ::ShowCaret(m_hWnd);
    }
    if (redraw) ViewChanged();
    return 0;
}

LRESULT OutputView::OnGetFont(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(m_font); }

LRESULT OutputView::OnGetDlgCode(WPARAM, LPARAM message) {
    LRESULT code = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
    // The pane wants returns: Enter typed in it must not press the default button.
    const MSG* msg = reinterpret_cast<const MSG*>(message);
    if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) code |= DLGC_WANTMESSAGE;
    return code;
}
