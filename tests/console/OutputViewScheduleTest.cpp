// When the output pane paints. The schedule itself, on a clock of the test's:
// a change made through a message draws nothing at once; while its owner
// sends flushes (as the console does after each engine tick) the pane paints
// only at a flush, at most once per repaint interval, unless no flush came
// for the flush timeout; without flushes a timer paints the change; the
// scroll bar follows at most once per interval and catches up either way.
// Then the real pane in this process: its timer, flushes and scroll bar
// wired to the schedule.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "console/OutputView.h"
#include "console/PaintSchedule.h"

namespace {

// A view for the schedule alone: a clock that only moves when the test says,
// a timer that fires exactly when due, and a scroll bar that goes stale with
// every change of the text, as the real view's does.
class ScheduledView : public PaintSchedule::View {
public:
    explicit ScheduledView(DWORD start) : now(start) {}

    bool SetPaintTimer(DWORD delayMs) override {
        if (refuseTimer) return false;
        timerDue = now + delayMs;
        return true;
    }
    void KillPaintTimer() override { timerDue.reset(); }
    void PaintNow() override {
        schedule.Painted(now);
        paints.push_back({now, inFlush});
        LayOut();  // as the real paint does
    }
    void LayOut() override {
        if (!scrollBarStale) {
            schedule.ScrollBarCurrent();
        } else if (schedule.ScrollBarChanged(now)) {
            scrollBarStale = false;
            scrollBarSets.push_back(now);
        }
        schedule.LaidOut();
    }

    void Change() {
        scrollBarStale = true;
        schedule.TextChanged(now);
    }
    void Flush() {
        inFlush = true;
        schedule.Flush(now);
        inFlush = false;
    }
    // Lets `ms` pass; the timer fires whenever it is due, as a message loop
    // would deliver it.
    void Advance(DWORD ms) {
        const DWORD end = now + ms;
        while (timerDue && *timerDue - now <= end - now) {
            now = *timerDue;
            schedule.TimerFired(now);
        }
        now = end;
    }

    struct Paint {
        DWORD at;
        bool insideFlush;
        bool operator==(const Paint&) const = default;
    };
    DWORD now;
    std::optional<DWORD> timerDue;
    bool refuseTimer = false;
    bool inFlush = false;
    bool scrollBarStale = false;
    std::vector<Paint> paints;
    std::vector<DWORD> scrollBarSets;
    PaintSchedule schedule{*this};
};

constexpr DWORD kRepaint = PaintSchedule::kRepaintIntervalMs;
constexpr DWORD kFlushTimeout = PaintSchedule::kFlushTimeoutMs;
constexpr DWORD kScrollBar = PaintSchedule::kScrollBarIntervalMs;

// Each case runs on a clock far from zero and on one about to wrap around,
// as GetTickCount does after 49.7 days.
class PaintScheduleClock : public testing::TestWithParam<DWORD> {
protected:
    ScheduledView view{GetParam()};
    const DWORD t0 = GetParam();
};

TEST_P(PaintScheduleClock, WithoutFlushesTheTimerPaintsAChangeOnceSoonAfterTheLastPaint) {
    view.Change();
    view.Change();
    EXPECT_TRUE(view.paints.empty()) << "a change painted at once";
    ASSERT_TRUE(view.timerDue.has_value());
    EXPECT_EQ(*view.timerDue - t0, static_cast<DWORD>(USER_TIMER_MINIMUM)) << "long after the last paint";
    view.Advance(1000);
    ASSERT_EQ(view.paints, (std::vector<ScheduledView::Paint>{{t0 + USER_TIMER_MINIMUM, false}}));
    EXPECT_FALSE(view.timerDue.has_value()) << "a timer is left with nothing to do";

    // A change 15 ms after a paint waits for the rest of the interval.
    view.Change();
    view.Advance(USER_TIMER_MINIMUM);
    ASSERT_EQ(view.paints.size(), 2u);
    const DWORD painted = view.paints.back().at;
    view.Advance(15);
    view.Change();
    ASSERT_TRUE(view.timerDue.has_value());
    EXPECT_EQ(*view.timerDue, painted + kRepaint);
}

TEST_P(PaintScheduleClock, WhileFlushesComeThePanePaintsOnlyAtThemAndAtMostOncePerInterval) {
    // Ticks every 28 ms with a line between each two: the pane paints at every
    // second flush from the first (56 ms apart: 28 ms are under the interval).
    view.Flush();
    std::vector<ScheduledView::Paint> expected;
    for (DWORD tick = 1; tick <= 20; ++tick) {
        view.Advance(10);
        view.Change();
        view.Advance(18);
        view.Flush();
        if (tick % 2 == 1) expected.push_back({t0 + 28 * tick, true});
    }
    EXPECT_EQ(view.paints, expected);

    // The flushes stop with lines left: the timer paints them one flush
    // timeout after the last flush, not before.
    view.Advance(5);
    view.Change();
    const DWORD lastFlush = t0 + 28 * 20;
    view.Advance(kFlushTimeout - 6);
    EXPECT_EQ(view.paints.size(), expected.size()) << "the timer did not wait for the flush timeout";
    view.Advance(1000);
    ASSERT_EQ(view.paints.size(), expected.size() + 1);
    EXPECT_EQ(view.paints.back(), (ScheduledView::Paint{lastFlush + kFlushTimeout, false}));
}

TEST_P(PaintScheduleClock, TheScrollBarFollowsAtMostOncePerIntervalAndCatchesUp) {
    // A line every 20 ms for two seconds, no flushes.
    for (int i = 0; i < 100; ++i) {
        view.Change();
        view.Advance(20);
    }
    ASSERT_FALSE(view.scrollBarSets.empty());
    for (std::size_t i = 1; i < view.scrollBarSets.size(); ++i)
        EXPECT_GE(view.scrollBarSets[i] - view.scrollBarSets[i - 1], kScrollBar) << "set " << i;
    // Then nothing: it catches up with the last line within one interval.
    const DWORD lastLine = view.now - 20;
    view.Advance(2000);
    EXPECT_FALSE(view.scrollBarStale) << "the scroll bar never caught up";
    EXPECT_LE(view.scrollBarSets.back() - lastLine, kScrollBar);
    EXPECT_FALSE(view.timerDue.has_value());

    // What the user does sets it at once, whatever the interval.
    view.Change();
    view.Advance(kRepaint);
    const std::size_t sets = view.scrollBarSets.size();
    view.scrollBarStale = true;
    view.schedule.UserChanged();
    view.LayOut();
    EXPECT_EQ(view.scrollBarSets.size(), sets + 1);
}

TEST_P(PaintScheduleClock, WhenNoTimerCanBeSetTheWorkIsDoneAtOnce) {
    view.Flush();
    view.Change();
    view.Advance(kRepaint);
    view.Flush();  // paints, and sets the scroll bar
    ASSERT_EQ(view.scrollBarSets.size(), 1u);
    view.refuseTimer = true;
    view.Change();  // within the flush timeout and both intervals
    ASSERT_EQ(view.paints.size(), 2u);
    EXPECT_EQ(view.paints.back(), (ScheduledView::Paint{view.now, false}));
    EXPECT_EQ(view.scrollBarSets.size(), 2u) << "the scroll bar waited for a timer that never comes";
}

INSTANTIATE_TEST_SUITE_P(Clocks, PaintScheduleClock, testing::Values(DWORD{0x10000000}, DWORD{0xFFFFFF00}),
                         [](const auto& info) { return info.index == 0 ? "Running" : "AboutToWrap"; });

// Paints the pane received, counted by a subclass of its window.
struct PaintRecord {
    bool insideFlush;  // during a kFlushMessage sent by the test
};

std::vector<PaintRecord> g_paints;
bool g_inFlush = false;
WNDPROC g_paneProc = nullptr;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) g_paints.push_back({g_inFlush});
    return ::CallWindowProcA(g_paneProc, hwnd, message, wParam, lParam);
}

class OutputViewSchedule : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(OutputView::RegisterClass(::GetModuleHandleA(nullptr)));
        m_parent = ::CreateWindowExA(0, "STATIC", "pane schedule", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                     420, 260, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(m_parent, nullptr);
        m_pane = ::CreateWindowExA(0, OutputView::kClassName, "",
                                   WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY,
                                   0, 0, 400, 200, m_parent, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(m_pane, nullptr);
        g_paneProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(m_pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
        ASSERT_NE(g_paneProc, nullptr);
        // The first paint of a new window, whatever it shows, is not the test's.
        ::UpdateWindow(m_parent);
        Pump(200);
        g_paints.clear();
    }
    void TearDown() override {
        if (m_parent) ::DestroyWindow(m_parent);  // takes the pane, which frees its object
        g_paints.clear();
    }

    // Dispatches this thread's messages for `ms` milliseconds.
    static void Pump(DWORD ms) {
        const DWORD start = ::GetTickCount();
        for (;;) {
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
            const DWORD spent = ::GetTickCount() - start;
            if (spent >= ms) return;
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
        }
    }
    // Appends a line as the console does.
    void Append(const std::string& text) {
        const LRESULT end = ::SendMessageA(m_pane, WM_GETTEXTLENGTH, 0, 0);
        ::SendMessageA(m_pane, EM_SETSEL, end, end);
        ::SendMessageA(m_pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(("\r\n" + text + " ").c_str()));
    }
    void Flush() {
        g_inFlush = true;
        ::SendMessageA(m_pane, OutputView::kFlushMessage, 0, 0);
        g_inFlush = false;
    }
    // What the scroll bar shows: its last line.
    int ScrollBarMax() const {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE;
        ::GetScrollInfo(m_pane, SB_VERT, &info);
        return info.nMax;
    }
    int LineCount() const { return static_cast<int>(::SendMessageA(m_pane, EM_GETLINECOUNT, 0, 0)); }

    HWND m_parent = nullptr;
    HWND m_pane = nullptr;
};

TEST_F(OutputViewSchedule, AChangeDrawsNothingAtOnceAndTheTimerPaintsItWithoutFlushes) {
    Append("first line");
    Append("second line");
    EXPECT_TRUE(g_paints.empty()) << "the append painted synchronously";
    EXPECT_TRUE(::GetUpdateRect(m_pane, nullptr, FALSE) == FALSE) << "the append invalidated at once";

    // No flush ever comes: the timer paints both lines in one paint.
    const DWORD start = ::GetTickCount();
    while (g_paints.empty() && ::GetTickCount() - start < 3000) Pump(5);
    ASSERT_EQ(g_paints.size(), 1u);
    EXPECT_FALSE(g_paints[0].insideFlush);
    Pump(300);
    EXPECT_EQ(g_paints.size(), 1u) << "nothing changed, yet the pane painted again";
}

TEST_F(OutputViewSchedule, AFlushPaintsAChangeAtOnce) {
    // The last paint is long past (SetUp waited), so the flush does the work;
    // the timer that the append set cannot fire before, as nothing is pumped.
    Append("one line");
    Flush();
    ASSERT_EQ(g_paints.size(), 1u);
    EXPECT_TRUE(g_paints[0].insideFlush);
    Pump(300);
    EXPECT_EQ(g_paints.size(), 1u) << "the timer painted the flushed change again";
}

TEST_F(OutputViewSchedule, WhenFlushesStopTheTimerPaintsWhatIsLeft) {
    for (int i = 0; i < 5; ++i) {
        Append("line " + std::to_string(i));
        Flush();
        Pump(28);
    }
    g_paints.clear();
    Append("after the last tick");
    const DWORD start = ::GetTickCount();
    while (g_paints.empty() && ::GetTickCount() - start < 3000) Pump(5);
    ASSERT_EQ(g_paints.size(), 1u) << "the line logged after the last flush was never painted";
    EXPECT_FALSE(g_paints[0].insideFlush);
}

TEST_F(OutputViewSchedule, TheScrollBarCatchesUpWithAndWithoutFlushes) {
    // A burst of lines, then nothing: the scroll bar, which follows at most
    // once per half second, ends up showing every line.
    for (int i = 0; i < 60; ++i) Append("burst " + std::to_string(i));
    const DWORD start = ::GetTickCount();
    while (ScrollBarMax() != LineCount() - 1 && ::GetTickCount() - start < 3000) Pump(10);
    EXPECT_EQ(ScrollBarMax(), LineCount() - 1) << "without flushes";

    // Lines at every flush: once they stop, a flush or the timer brings the
    // scroll bar to the last of them.
    for (int i = 0; i < 30; ++i) {
        Append("tick " + std::to_string(i));
        Flush();
        Pump(28);
    }
    const DWORD flushed = ::GetTickCount();
    while (ScrollBarMax() != LineCount() - 1 && ::GetTickCount() - flushed < 3000) {
        Flush();
        Pump(28);
    }
    EXPECT_EQ(ScrollBarMax(), LineCount() - 1) << "with flushes";
}

}  // namespace
