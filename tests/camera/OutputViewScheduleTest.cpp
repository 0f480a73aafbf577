// When the output pane paints, seen from inside this process: a change made
// through a message draws nothing at once; while its owner sends flushes (as
// the console does after each engine tick) the pane paints only at a flush,
// at most once per repaint interval, unless no flush came for the flush
// timeout; without flushes a timer paints the change; and the scroll bar
// catches up either way.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "console/OutputView.h"

namespace {

// Paints the pane received, counted by a subclass of its window.
struct PaintRecord {
    DWORD at;          // GetTickCount when the paint began
    bool insideFlush;  // during a kFlushMessage sent by the test
};

std::vector<PaintRecord> g_paints;
bool g_inFlush = false;
WNDPROC g_paneProc = nullptr;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) g_paints.push_back({::GetTickCount(), g_inFlush});
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

TEST_F(OutputViewSchedule, WhileFlushesComeThePanePaintsOnlyAtThemAndAtMostOncePerInterval) {
    constexpr DWORD kTick = 28;
    constexpr int kTicks = 40;
    Flush();
    std::vector<DWORD> flushes;
    int line = 0;
    for (int tick = 0; tick < kTicks; ++tick) {
        // Lines arrive between the ticks, as an editor's calls do.
        for (int i = 0; i < 5; ++i) {
            Append("line " + std::to_string(++line));
            Pump(kTick / 5);
        }
        Flush();
        flushes.push_back(::GetTickCount());
    }
    ASSERT_FALSE(g_paints.empty()) << "the flushes never painted the new lines";
    DWORD lastFlush = flushes.front();
    std::size_t next = 0;
    for (std::size_t i = 0; i < g_paints.size(); ++i) {
        const PaintRecord& paint = g_paints[i];
        while (next < flushes.size() && flushes[next] <= paint.at) lastFlush = flushes[next++];
        // A paint between flushes is allowed only when this loop was held up
        // past the flush timeout (a loaded machine), as the timer then stands
        // in; the flush's time is taken just after it returned, a little late.
        if (!paint.insideFlush) {
            EXPECT_GE(paint.at - lastFlush, OutputView::kFlushTimeoutMs - 5) << "paint " << i << " between flushes";
        } else if (i > 0) {
            EXPECT_GE(paint.at - g_paints[i - 1].at, OutputView::kRepaintIntervalMs - 1) << "paint " << i;
        }
    }
    std::size_t atFlushes = 0;
    for (const PaintRecord& paint : g_paints) atFlushes += paint.insideFlush;
    EXPECT_GT(atFlushes, 0u) << "every paint came from the timer";
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
