// The output view's geometry, layout, scrolling and paint.
#include <algorithm>
#include <string_view>

#include "OutputView.h"

namespace {

constexpr int kMargin = 2;  // pixels left blank at the text's left and right

// Lines that begin so are drawn in red, to stand out.
constexpr std::string_view kCriticalPrefix = "CRITICAL: ";
constexpr COLORREF kCriticalColour = RGB(204, 0, 0);

}  // namespace

RECT OutputView::TextRect() const {
    RECT r{};
    ::GetClientRect(m_hWnd, &r);
    r.left += kMargin;
    r.right = std::max(r.left, r.right - kMargin);
    return r;
}

int OutputView::VisibleLines() const {
    const RECT r = TextRect();
    return std::max(1, static_cast<int>(r.bottom - r.top) / m_lineHeight);
}

int OutputView::Extent(int line, std::size_t count) const {
    const std::string& text = m_text.Line(line);
    count = std::min(count, text.size());
    if (count == 0) return 0;
    if (!m_measure.Get()) return static_cast<int>(count) * m_charWidth;
    // Tabs stand at the default stops, as TabbedTextOut draws them.
    return LOWORD(::GetTabbedTextExtentA(m_measure.Get(), text.data(), static_cast<int>(count), 0, nullptr));
}

POINT OutputView::PointOfChar(std::size_t at) const {
    at = m_text.Normalize(at);
    const int line = m_text.LineFromChar(at);
    const RECT r = TextRect();
    return {r.left - m_xOffset + Extent(line, at - m_text.LineIndex(line)),
            r.top + (line - m_topLine) * m_lineHeight};
}

std::size_t OutputView::CharAtX(int line, int x) const {
    const std::size_t length = m_text.Line(line).size();
    // The last column whose start is at or left of x, then the nearer of it
    // and the next.
    std::size_t low = 0, high = length;
    while (low < high) {
        const std::size_t mid = (low + high + 1) / 2;
        if (Extent(line, mid) <= x)
            low = mid;
        else
            high = mid - 1;
    }
    if (low < length && x - Extent(line, low) > Extent(line, low + 1) - x) ++low;
    return m_text.LineIndex(line) + low;
}

std::size_t OutputView::CharFromPoint(int x, int y) const {
    const RECT r = TextRect();
    const int dy = y - static_cast<int>(r.top);
    const int row = dy >= 0 ? dy / m_lineHeight : -((-dy + m_lineHeight - 1) / m_lineHeight);
    const int line = std::clamp(m_topLine + row, 0, m_text.LineCount() - 1);
    return CharAtX(line, x - static_cast<int>(r.left) + m_xOffset);
}

void OutputView::LayOut() {
    if (!m_hWnd) return;
    const int count = m_text.LineCount();
    const int visible = VisibleLines();
    if (m_scrollToCaret) {
        m_scrollToCaret = false;
        const int line = m_text.LineFromChar(m_caret);
        if (line < m_topLine)
            m_topLine = line;
        else if (line >= m_topLine + visible)
            m_topLine = line - visible + 1;
        const RECT r = TextRect();
        const int width = std::max(1, static_cast<int>(r.right - r.left));
        const int x = Extent(line, m_caret - m_text.LineIndex(line));
        if (x < m_xOffset)
            m_xOffset = std::max(0, x - width / 4);
        else if (x >= m_xOffset + width)
            m_xOffset = x - width * 3 / 4;
    }
    m_topLine = std::clamp(m_topLine, 0, std::max(0, count - visible));

    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = count - 1;
    info.nPage = static_cast<UINT>(visible);
    info.nPos = m_topLine;
    const bool changed = info.nMax != m_shownScroll.nMax || info.nPage != m_shownScroll.nPage ||
                         info.nPos != m_shownScroll.nPos || m_shownScroll.cbSize == 0;
    if (!changed) {
        m_schedule.ScrollBarCurrent();
    } else if (m_schedule.ScrollBarChanged(::GetTickCount())) {
        ::SetScrollInfo(m_hWnd, SB_VERT, &info, TRUE);
        m_shownScroll = info;
    }
    m_schedule.LaidOut();
    if (m_focused) {
        const POINT p = PointOfChar(m_caret);
        ::SetCaretPos(p.x, p.y);
    }
}

void OutputView::ScrollTo(int topLine) {
    m_topLine = topLine;  // LayOut keeps it in range
    ViewChanged();
}

LRESULT OutputView::OnPaint(WPARAM, LPARAM) {
    m_schedule.Painted(::GetTickCount());
    LayOut();
    PaintDC paint(m_hWnd);
    if (!paint.Get()) return 0;
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    PaintLines(paint.Get(), client);
    return 0;
}

void OutputView::PaintLines(HDC dc, const RECT& client) {
    // Colours as a read-only edit control takes them: from the parent's
    // answer to WM_CTLCOLORSTATIC, which sets them in the device context.
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(dc, ::GetSysColor(COLOR_3DFACE));
    auto brush = reinterpret_cast<HBRUSH>(::SendMessageA(::GetParent(m_hWnd), WM_CTLCOLORSTATIC,
                                                         reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(m_hWnd)));
    if (!brush) brush = ::GetSysColorBrush(COLOR_3DFACE);
    const COLORREF text = ::GetTextColor(dc);
    const COLORREF background = ::GetBkColor(dc);

    const SelectedObject font(dc, m_font);
    const RECT r = TextRect();
    const RECT margin{client.left, client.top, r.left, client.bottom};
    ::FillRect(dc, &margin, brush);
    const RECT rightMargin{r.right, client.top, client.right, client.bottom};
    ::FillRect(dc, &rightMargin, brush);
    const int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    const bool selectionShown = SelectionShown();
    const std::size_t selFrom = selectionShown ? std::min(m_anchor, m_caret) : 0;
    const std::size_t selTo = selectionShown ? std::max(m_anchor, m_caret) : 0;
    // Each band is filled just before its text is drawn, so that no pixel
    // shows blank between the two: the pane does not flicker.
    const int last = std::min(m_text.LineCount() - 1, m_topLine + VisibleLines());
    int bandsEnd = r.top;
    for (int line = m_topLine; line <= last; ++line) {
        const std::string& s = m_text.Line(line);
        const std::size_t start = m_text.LineIndex(line);
        const int x = r.left - m_xOffset;
        const int y = r.top + (line - m_topLine) * m_lineHeight;
        const RECT band{r.left, y, r.right, y + m_lineHeight};
        ::FillRect(dc, &band, brush);
        bandsEnd = band.bottom;
        // The line in up to three runs: before, inside and after the selection.
        const std::size_t a = std::clamp(selFrom, start, start + s.size()) - start;
        const std::size_t b = std::clamp(selTo, start, start + s.size()) - start;
        const std::size_t cuts[] = {0, a, b, s.size()};
        const COLORREF ink = std::string_view(s).starts_with(kCriticalPrefix) ? kCriticalColour : text;
        for (int run = 0; run < 3; ++run) {
            const std::size_t from = cuts[run], to = cuts[run + 1];
            if (from >= to) continue;
            const bool selected = run == 1;
            ::SetTextColor(dc, selected ? ::GetSysColor(COLOR_HIGHLIGHTTEXT) : ink);
            ::SetBkColor(dc, selected ? ::GetSysColor(COLOR_HIGHLIGHT) : background);
            ::SetBkMode(dc, selected ? OPAQUE : TRANSPARENT);
            ::TabbedTextOutA(dc, x + Extent(line, from), y, s.data() + from, static_cast<int>(to - from), 0,
                             nullptr, x);
        }
    }
    const RECT below{r.left, bandsEnd, r.right, client.bottom};
    ::FillRect(dc, &below, brush);
    ::RestoreDC(dc, saved);
}

bool OutputView::SelectionShown() const {
    if (m_focused) return true;
    HWND focus = ::GetFocus();
    if (!focus) return false;
    HWND dialog = ::GetAncestor(m_hWnd, GA_ROOT);
    HWND focusRoot = ::GetAncestor(focus, GA_ROOT);
    return focusRoot != dialog && ::GetWindow(focusRoot, GW_OWNER) == dialog;
}

LRESULT OutputView::OnEraseBackground(WPARAM, LPARAM) {
    return TRUE;  // the paint covers the whole client area
}

LRESULT OutputView::OnSize(WPARAM, LPARAM) {
    ViewChanged();
    return 0;
}

LRESULT OutputView::OnVScroll(WPARAM code, LPARAM) {
    LayOut();
    const int page = VisibleLines();
    switch (LOWORD(code)) {
        case SB_LINEUP: ScrollTo(m_topLine - 1); break;
        case SB_LINEDOWN: ScrollTo(m_topLine + 1); break;
        case SB_PAGEUP: ScrollTo(m_topLine - page); break;
        case SB_PAGEDOWN: ScrollTo(m_topLine + page); break;
        case SB_TOP: ScrollTo(0); break;
        case SB_BOTTOM: ScrollTo(m_text.LineCount()); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO info{};
            info.cbSize = sizeof info;
            info.fMask = SIF_TRACKPOS;
            if (::GetScrollInfo(m_hWnd, SB_VERT, &info)) ScrollTo(info.nTrackPos);
            break;
        }
        default: break;
    }
    return 0;
}

LRESULT OutputView::OnMouseWheel(WPARAM state, LPARAM) {
    UINT linesPerNotch = 3;
    ::SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &linesPerNotch, 0);
    if (linesPerNotch == WHEEL_PAGESCROLL) linesPerNotch = static_cast<UINT>(VisibleLines());
    m_wheelDelta += static_cast<short>(HIWORD(state));
    int lines = 0;
    for (; m_wheelDelta >= WHEEL_DELTA; m_wheelDelta -= WHEEL_DELTA) lines -= static_cast<int>(linesPerNotch);
    for (; m_wheelDelta <= -WHEEL_DELTA; m_wheelDelta += WHEEL_DELTA) lines += static_cast<int>(linesPerNotch);
    if (lines != 0) {
        LayOut();
        ScrollTo(m_topLine + lines);
    }
    return 0;
}
