#include "PaintSchedule.h"

#include <algorithm>

void PaintSchedule::TextChanged(DWORD now) {
    m_paintDue = true;
    const DWORD since = now - m_lastPaint;
    ArmTimer(since < kRepaintIntervalMs ? kRepaintIntervalMs - since : 0, now);
}

void PaintSchedule::ArmTimer(DWORD delayMs, DWORD now) {
    if (m_timerSet) return;
    // While flushes come, the next one does the work: the timer is put off
    // past it, so that it only fires once they have stopped.
    if (now - m_lastFlush < kFlushTimeoutMs) delayMs = kFlushTimeoutMs;
    m_timerSet = m_view.SetPaintTimer(std::max<DWORD>(delayMs, USER_TIMER_MINIMUM));
    // Without a timer the work is done at once rather than never.
    if (!m_timerSet) DoDeferredWork(true);
}

void PaintSchedule::DoDeferredWork(bool scrollBarNow) {
    m_scrollBarNow = scrollBarNow;
    if (m_paintDue)
        m_view.PaintNow();  // the paint lays out, and sets the scroll bar if due
    else if (m_scrollBarDue)
        m_view.LayOut();
    m_scrollBarNow = false;
}

void PaintSchedule::TimerFired(DWORD now) {
    // While flushes still come and there is work, the next flush does it: the
    // timer puts itself off until a flush timeout after the last flush.
    const DWORD sinceFlush = now - m_lastFlush;
    if (sinceFlush < kFlushTimeoutMs && (m_paintDue || m_scrollBarDue)) {
        m_timerSet = m_view.SetPaintTimer(std::max<DWORD>(kFlushTimeoutMs - sinceFlush, USER_TIMER_MINIMUM));
        if (m_timerSet) return;
    }
    m_view.KillPaintTimer();
    m_timerSet = false;
    DoDeferredWork(false);  // a scroll bar not yet due sets the timer again
}

void PaintSchedule::Flush(DWORD now) {
    m_lastFlush = now;
    // At most one paint per interval, however often ticks come: every paint
    // takes its share of the processor from the engine and the editor.
    if (now - m_lastPaint >= kRepaintIntervalMs) DoDeferredWork(false);
    // A pending timer with nothing left to do goes. One with work left stays
    // as it is: should it fire while flushes still come, it puts itself off.
    // So a tick between two paints costs no timer call.
    if (m_timerSet && !m_paintDue && !m_scrollBarDue) {
        m_view.KillPaintTimer();
        m_timerSet = false;
    }
}

void PaintSchedule::Painted(DWORD now) {
    m_paintDue = false;
    m_lastPaint = now;
}

bool PaintSchedule::ScrollBarChanged(DWORD now) {
    // Setting the scroll bar redraws it, which costs milliseconds here: while
    // lines stream in, it follows at most once per interval.
    const DWORD since = now - m_lastScrollBar;
    if (m_scrollBarNow || since >= kScrollBarIntervalMs) {
        m_lastScrollBar = now;
        m_scrollBarDue = false;
        return true;
    }
    m_scrollBarDue = true;
    ArmTimer(kScrollBarIntervalMs - std::min(since, kScrollBarIntervalMs), now);
    return false;
}
