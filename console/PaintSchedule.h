// When the output view paints, as a pure object: the view tells it what
// happened and when (the clock is passed in), and it asks the view, through
// PaintSchedule::View, to set or kill its timer, paint, or lay out.
//
// A paint of the pane, and above all an update of its scroll bar, takes
// milliseconds here; done whenever the text changes it would fall at any
// moment, and delay an engine tick posted meanwhile. So a change made through
// a message only marks the work due, and the work is done right after the
// next engine tick (a flush), when the thread has the most time before the
// following one. A timer stands in when no flush comes: before the engine
// runs, after it stopped, or in a program without one. What the user does is
// shown at once.
#pragma once

#include <windows.h>

class PaintSchedule {
public:
    static constexpr DWORD kRepaintIntervalMs = 40;
    static constexpr DWORD kFlushTimeoutMs = 100;
    static constexpr DWORD kScrollBarIntervalMs = 500;

    // What the schedule makes the view do.
    class View {
    public:
        // Sets the one timer of put-off work to fire in `delayMs`; false if
        // the system set none. The view calls TimerFired when it fires.
        virtual bool SetPaintTimer(DWORD delayMs) = 0;
        virtual void KillPaintTimer() = 0;
        // Paints the whole view at once; the paint calls Painted, and lays out.
        virtual void PaintNow() = 0;
        // Lays out; a changed scroll bar is offered to ScrollBarChanged.
        virtual void LayOut() = 0;

    protected:
        ~View() = default;
    };

    explicit PaintSchedule(View& view) : m_view(view) {}

    // The text changed through a message: paint at the next flush, or soon.
    void TextChanged(DWORD now);
    // The user moved the caret or scrolled: the next layout sets the scroll
    // bar whatever its interval.
    void UserChanged() { m_scrollBarNow = true; }
    // The owner's flush: do the put-off work if a repaint interval has passed,
    // and leave the rest to the next flush, or to the timer if none comes.
    void Flush(DWORD now);
    // The timer fired: the put-off work is done, unless flushes still come
    // (one came within kFlushTimeoutMs), which leave it to the next flush.
    void TimerFired(DWORD now);
    void Painted(DWORD now);
    // Layout found the scroll bar out of date: true if the view is to set it
    // now; otherwise it lags and the timer will catch it up.
    bool ScrollBarChanged(DWORD now);
    // Layout found the scroll bar up to date.
    void ScrollBarCurrent() { m_scrollBarDue = false; }
    // Layout ended.
    void LaidOut() { m_scrollBarNow = false; }

private:
    // Sets the timer unless it is set already: the earlier deadline holds.
    void ArmTimer(DWORD delayMs, DWORD now);
    // Paints the changed text and sets a lagging scroll bar (if it is due, or
    // whatever its interval when `scrollBarNow`).
    void DoDeferredWork(bool scrollBarNow);

    View& m_view;
    bool m_timerSet = false;
    bool m_paintDue = false;      // the text changed since the last paint
    bool m_scrollBarDue = false;  // the scroll bar lags behind the text
    bool m_scrollBarNow = false;  // the next layout sets the scroll bar whatever the interval
    DWORD m_lastPaint = 0;
    DWORD m_lastFlush = 0;
    DWORD m_lastScrollBar = 0;
};
