// When the output view paints. A paint of the pane, and above all an update of
// its scroll bar, takes milliseconds here; done whenever the text changes it
// would fall at any moment, and delay an engine tick posted meanwhile. So a
// change made through a message only marks the work due, and the work is done
// right after the next engine tick (kFlushMessage), when the thread has the
// most time before the following one. A timer stands in when no tick comes:
// before the engine runs, after it stopped, or in a program without one.
// What the user does is shown at once (ViewChanged).
#include <algorithm>

#include "OutputView.h"

void OutputView::TextChanged() {
    if (!m_hWnd) return;
    m_paintDue = true;
    const DWORD since = ::GetTickCount() - m_lastPaint;
    ArmTimer(since < kRepaintIntervalMs ? kRepaintIntervalMs - since : 0);
}

void OutputView::ViewChanged() {
    m_scrollBarNow = true;  // what the user does shows at once, the scroll bar too
    Layout();
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void OutputView::ArmTimer(DWORD delayMs) {
    if (m_timerSet || !m_hWnd) return;  // the earlier deadline holds
    // While flushes come, the next one does the work: the timer is put off
    // past it, so that it only fires once they have stopped.
    if (::GetTickCount() - m_lastFlush < kFlushTimeoutMs) delayMs = kFlushTimeoutMs;
    m_timerSet = ::SetTimer(m_hWnd, kDeferredTimerId, std::max<DWORD>(delayMs, USER_TIMER_MINIMUM), nullptr) != 0;
    // Without a timer the work is done at once rather than never.
    if (!m_timerSet) DoDeferredWork(true);
}

void OutputView::DoDeferredWork(bool scrollBarNow) {
    m_scrollBarNow = scrollBarNow;
    if (m_paintDue) {
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        ::UpdateWindow(m_hWnd);  // the paint lays out, and sets the scroll bar if due
    } else if (m_scrollBarDue) {
        Layout();
    }
    m_scrollBarNow = false;
}

void OutputView::ScrollBarLags(DWORD sinceLastMs) {
    m_scrollBarDue = true;
    ArmTimer(kScrollBarIntervalMs - std::min(sinceLastMs, kScrollBarIntervalMs));
}

LRESULT OutputView::OnTimer(WPARAM id, LPARAM) {
    if (id != kDeferredTimerId) return 0;
    ::KillTimer(m_hWnd, kDeferredTimerId);
    m_timerSet = false;
    DoDeferredWork(false);  // a scroll bar not yet due sets the timer again
    return 0;
}

LRESULT OutputView::OnFlush(WPARAM, LPARAM) {
    m_lastFlush = ::GetTickCount();
    // At most one paint per interval, however often ticks come: every paint
    // takes its share of the processor from the engine and the editor.
    if (m_lastFlush - m_lastPaint >= kRepaintIntervalMs) DoDeferredWork(false);
    // A pending timer is put off past the next flush, or dropped when nothing
    // is left; a tick with nothing to show costs no timer call.
    if (!m_timerSet) return 0;
    ::KillTimer(m_hWnd, kDeferredTimerId);
    m_timerSet = false;
    if (m_paintDue || m_scrollBarDue) ArmTimer(kFlushTimeoutMs);
    return 0;
}
