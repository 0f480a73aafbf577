// The output view's focus, keyboard and mouse: the caret and the selection
// move as in a read-only edit control; nothing the user types changes the text.
#include <algorithm>
#include <cctype>

#include "OutputView.h"

namespace {

bool Down(int key) { return ::GetKeyState(key) < 0; }

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

LRESULT OutputView::OnSetFocus(WPARAM, LPARAM) {
    m_focused = true;
    ::CreateCaret(m_hWnd, nullptr, 1, m_lineHeight);
    ViewChanged();  // places the caret; the selection shows again
    ::ShowCaret(m_hWnd);
    NotifyParent(EN_SETFOCUS);
    return 0;
}

LRESULT OutputView::OnKillFocus(WPARAM, LPARAM) {
    m_focused = false;
    ::DestroyCaret();
    ViewChanged();
    NotifyParent(EN_KILLFOCUS);
    return 0;
}

LRESULT OutputView::OnKeyDown(WPARAM key, LPARAM) {
    const bool shift = Down(VK_SHIFT);
    const bool control = Down(VK_CONTROL);
    const int line = m_text.LineFromChar(m_caret);
    const std::size_t start = m_text.LineIndex(line);
    const std::size_t end = LineEnd(line);
    const bool selection = m_anchor != m_caret;
    std::size_t to = m_caret;
    bool vertical = false;

    switch (key) {
        case VK_LEFT:
            if (!shift && selection) {
                to = std::min(m_anchor, m_caret);
            } else if (m_caret == start) {
                to = line > 0 ? LineEnd(line - 1) : 0;
            } else if (control) {
                const std::string& s = m_text.Line(line);
                std::size_t column = m_caret - start;
                while (column > 0 && IsBlank(s[column - 1])) --column;
                while (column > 0 && !IsBlank(s[column - 1])) --column;
                to = start + column;
            } else {
                to = m_caret - 1;
            }
            break;
        case VK_RIGHT:
            if (!shift && selection) {
                to = std::max(m_anchor, m_caret);
            } else if (m_caret == end) {
                to = line + 1 < m_text.LineCount() ? m_text.LineIndex(line + 1) : end;
            } else if (control) {
                const std::string& s = m_text.Line(line);
                std::size_t column = m_caret - start;
                while (column < s.size() && !IsBlank(s[column])) ++column;
                while (column < s.size() && IsBlank(s[column])) ++column;
                to = start + column;
            } else {
                to = m_caret + 1;
            }
            break;
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT: {
            vertical = true;
            if (m_desiredX < 0) m_desiredX = Extent(line, m_caret - start);
            const int page = VisibleLines();
            const int step = key == VK_UP ? -1 : key == VK_DOWN ? 1 : key == VK_PRIOR ? -page : page;
            const int target = std::clamp(line + step, 0, m_text.LineCount() - 1);
            to = CharAtX(target, m_desiredX);
            if (key == VK_PRIOR || key == VK_NEXT) m_topLine += step;
            break;
        }
        case VK_HOME: to = control ? 0 : start; break;
        case VK_END: to = control ? m_text.Length() : end; break;
        case VK_INSERT:
            if (control) CopySelection();
            return 0;
        case VK_APPS: ContextMenu(-1); return 0;
        case VK_F10:
            if (shift) ContextMenu(-1);
            return 0;
        case 'A':
            if (control) {
                Select(0, m_text.Length());
                m_desiredX = -1;
                ViewChanged();
            }
            return 0;
        default: return 0;
    }
    if (!vertical) m_desiredX = -1;
    Select(shift ? m_anchor : to, to);
    m_scrollToCaret = true;
    ViewChanged();
    return 0;
}

LRESULT OutputView::OnChar(WPARAM character, LPARAM) {
    if (character == 0x03) CopySelection();  // Ctrl+C; anything else typed is ignored: read-only
    return 0;
}

LRESULT OutputView::OnLButtonDown(WPARAM keys, LPARAM point) {
    if (::GetFocus() != m_hWnd) ::SetFocus(m_hWnd);
    const std::size_t at = CharFromPoint(static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point)));
    Select((keys & MK_SHIFT) ? m_anchor : at, at);
    m_desiredX = -1;
    m_dragging = true;
    ::SetCapture(m_hWnd);
    m_scrollToCaret = true;
    ViewChanged();
    return 0;
}

LRESULT OutputView::OnLButtonDblClk(WPARAM, LPARAM point) {
    // The word under the pointer, or the run of blanks.
    const std::size_t at = CharFromPoint(static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point)));
    const int line = m_text.LineFromChar(at);
    const std::string& s = m_text.Line(line);
    const std::size_t start = m_text.LineIndex(line);
    std::size_t from = at - start, to = at - start;
    if (from < s.size()) {
        const bool blank = IsBlank(s[from]);
        while (from > 0 && IsBlank(s[from - 1]) == blank) --from;
        while (to < s.size() && IsBlank(s[to]) == blank) ++to;
    }
    Select(start + from, start + to);
    m_desiredX = -1;
    m_scrollToCaret = true;
    ViewChanged();
    return 0;
}

LRESULT OutputView::OnMouseMove(WPARAM, LPARAM point) {
    if (!m_dragging) return 0;
    const std::size_t at = CharFromPoint(static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point)));
    if (at == m_caret) return 0;
    Select(m_anchor, at);
    m_scrollToCaret = true;  // dragging past an edge scrolls
    ViewChanged();
    return 0;
}

LRESULT OutputView::OnLButtonUp(WPARAM, LPARAM) {
    if (m_dragging) {
        m_dragging = false;
        ::ReleaseCapture();
    }
    return 0;
}

LRESULT OutputView::OnCaptureChanged(WPARAM, LPARAM) {
    m_dragging = false;
    return 0;
}

// A right click gives the view the focus, as a left click does, and leaves
// the selection as it is, for the context menu's Copy.
LRESULT OutputView::OnRButtonDown(WPARAM, LPARAM) {
    if (::GetFocus() != m_hWnd) ::SetFocus(m_hWnd);
    return 0;
}

LRESULT OutputView::OnRButtonUp(WPARAM, LPARAM point) {
    POINT at{static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    ::ClientToScreen(m_hWnd, &at);
    ContextMenu(MAKELPARAM(at.x, at.y));
    return 0;
}

// Shift+F10 comes as a system key, since F10 is the menu bar's key.
LRESULT OutputView::OnSysKeyDown(WPARAM key, LPARAM) {
    if (key == VK_F10 && Down(VK_SHIFT) && !Down(VK_MENU)) {
        ContextMenu(-1);
        return 0;
    }
    return Default();
}

void OutputView::ContextMenu(LPARAM screenPoint) {
    // The view's default processing hands it on to the parent.
    ::SendMessageA(m_hWnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_hWnd), screenPoint);
}
