// The output view's side of its paint schedule (PaintSchedule): the clock,
// the window timer, and the paint and layout the schedule asks for.
#include "OutputView.h"

void OutputView::TextChanged() {
    if (!m_hWnd) return;
    m_schedule.TextChanged(::GetTickCount());
}

void OutputView::ViewChanged() {
    m_schedule.UserChanged();  // what the user does shows at once, the scroll bar too
    LayOut();
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

bool OutputView::SetPaintTimer(DWORD delayMs) {
    return ::SetTimer(m_hWnd, kDeferredTimerId, delayMs, nullptr) != 0;
}

void OutputView::KillPaintTimer() { ::KillTimer(m_hWnd, kDeferredTimerId); }

void OutputView::PaintNow() {
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    ::UpdateWindow(m_hWnd);
}

LRESULT OutputView::OnTimer(WPARAM id, LPARAM) {
    if (id == kDeferredTimerId) m_schedule.TimerFired(::GetTickCount());
    return 0;
}

LRESULT OutputView::OnFlush(WPARAM, LPARAM) {
    m_schedule.Flush(::GetTickCount());
    return 0;
}
