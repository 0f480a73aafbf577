// The console's output pane as a user works it, in the real shell: selection
// by mouse drag and double click, the caret keys, Enter and Tab, the scroll
// bar and the wheel, and what the pane shows on the screen after new lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Clipboard.h"
#include "PaneFixture.h"
#include "ShellWindows.h"
#include "res/resource.h"

namespace {


using vt::WaitUntil;

LPARAM At(POINT p) { return MAKELPARAM(p.x, p.y); }

class OutputPane : public vt::PaneFixture {
protected:
    OutputPane() : PaneFixture("pane-") {}

    // Offset of the first character of `text` in the pane, or -1.
    int Find(const std::string& text) {
        const std::size_t at = shell.PaneText().find(text);
        return at == std::string::npos ? -1 : static_cast<int>(at);
    }
    // Client point of the character at `offset` (its top left corner).
    POINT PointOf(int offset) {
        const LRESULT packed = ::SendMessageA(pane, EM_POSFROMCHAR, offset, 0);
        return {static_cast<short>(LOWORD(packed)), static_cast<short>(HIWORD(packed))};
    }
    int FirstVisibleLine() { return static_cast<int>(::SendMessageA(pane, EM_GETFIRSTVISIBLELINE, 0, 0)); }
    void FocusPane() { ASSERT_TRUE(vt::ClickText(pane)) << "the click never came"; }
    // Presses a key in the pane the way the keyboard does: posted, so the
    // dialog manager sees it first.
    void Press(WPARAM key) {
        ::PostMessageA(pane, WM_KEYDOWN, key, 1);
        ::PostMessageA(pane, WM_KEYUP, key, 0xC0000001);
    }
    bool WaitForCaret(int at) {
        return WaitUntil([&] { return Selection() == std::make_pair(at, at); });
    }

};

TEST_F(OutputPane, DraggingTheMouseSelectsAndCopyTakesExactlyThat) {
    shell.Command("rec.log 1 alpha one");
    shell.Command("rec.log 1 beta two");
    const int from = Find("INFO: alpha one");
    const int to = Find("INFO: beta two") + 10;  // inside "beta two", on the next line
    ASSERT_GE(from, 0);
    ASSERT_GT(to, from);

    // Press on the first character, move to the last, let go: as sent by the
    // system to the window under the mouse.
    ::SendMessageA(pane, WM_LBUTTONDOWN, MK_LBUTTON, At(PointOf(from)));
    ::SendMessageA(pane, WM_MOUSEMOVE, MK_LBUTTON, At(PointOf((from + to) / 2)));
    ::SendMessageA(pane, WM_MOUSEMOVE, MK_LBUTTON, At(PointOf(to)));
    ::SendMessageA(pane, WM_LBUTTONUP, 0, At(PointOf(to)));
    EXPECT_EQ(Selection(), std::make_pair(from, to));
    ASSERT_TRUE(vt::WaitForFocus(pane));

    ASSERT_TRUE(vt::SetClipboardText("before the copy"));
    shell.MenuCommand(ID_EDIT_COPY);
    const std::string wanted = shell.PaneText().substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
    EXPECT_EQ(wanted.substr(0, 17), "INFO: alpha one \r");
    EXPECT_EQ(vt::ClipboardText(), wanted);

    // Copy with nothing selected leaves the clipboard alone.
    ::SendMessageA(pane, EM_SETSEL, from, from);
    ASSERT_TRUE(vt::SetClipboardText("kept"));
    shell.MenuCommand(ID_EDIT_COPY);
    EXPECT_EQ(vt::ClipboardText(), "kept");
}

TEST_F(OutputPane, ShiftClickExtendsAndDoubleClickTakesAWord) {
    shell.Command("rec.log 1 gamma delta epsilon");
    const int line = Find("INFO: gamma delta epsilon");
    ASSERT_GE(line, 0);
    const int delta = line + 12;

    ::SendMessageA(pane, WM_LBUTTONDBLCLK, MK_LBUTTON, At(PointOf(delta + 2)));
    ::SendMessageA(pane, WM_LBUTTONUP, 0, At(PointOf(delta + 2)));
    EXPECT_EQ(Selection(), std::make_pair(delta, delta + 5));

    ::SendMessageA(pane, WM_LBUTTONDOWN, MK_LBUTTON, At(PointOf(line)));
    ::SendMessageA(pane, WM_LBUTTONUP, 0, At(PointOf(line)));
    ::SendMessageA(pane, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, At(PointOf(delta)));
    ::SendMessageA(pane, WM_LBUTTONUP, MK_SHIFT, At(PointOf(delta)));
    EXPECT_EQ(Selection(), std::make_pair(line, delta));
}

TEST_F(OutputPane, CaretKeysMoveAsInAnEditControl) {
    shell.Command("rec.log 1 first line");
    shell.Command("rec.log 1 second");
    const int first = Find("INFO: first line ");
    const int second = Find("INFO: second ");
    ASSERT_GE(first, 0);
    ASSERT_GT(second, first);
    const int firstEnd = first + static_cast<int>(std::string("INFO: first line ").size());
    FocusPane();

    ::SendMessageA(pane, EM_SETSEL, first + 3, first + 3);
    Press(VK_END);
    EXPECT_TRUE(WaitForCaret(firstEnd)) << Selection().first;
    Press(VK_HOME);
    EXPECT_TRUE(WaitForCaret(first)) << Selection().first;
    // Left at a line's start goes to the end of the line before.
    Press(VK_LEFT);
    EXPECT_TRUE(WaitForCaret(first - 2)) << Selection().first;
    Press(VK_RIGHT);
    EXPECT_TRUE(WaitForCaret(first)) << Selection().first;
    // Down keeps the column as near as the next line allows.
    const int nextLine = Find("CONSOLE: rec.log 1 second");
    ASSERT_GT(nextLine, first);
    Press(VK_DOWN);
    EXPECT_TRUE(WaitForCaret(nextLine)) << Selection().first;
    Press(VK_UP);
    EXPECT_TRUE(WaitForCaret(first)) << Selection().first;
    // The text never changes, whatever is typed.
    const std::string before = shell.PaneText();
    ::PostMessageA(pane, WM_CHAR, 'x', 1);
    Press(VK_DELETE);
    Press(VK_BACK);
    Press(VK_END);
    EXPECT_TRUE(WaitForCaret(firstEnd));
    EXPECT_EQ(shell.PaneText(), before);
}

TEST_F(OutputPane, EnterInThePaneRunsNothingAndTabMovesToTheCommandLine) {
    HWND commandLine = shell.Control(kCommandLine);
    ::SendMessageA(commandLine, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("rec.journal not-run"));
    FocusPane();
    const std::string before = shell.PaneText();
    Press(VK_RETURN);
    Press(VK_TAB);
    ASSERT_TRUE(vt::WaitForFocus(commandLine));
    EXPECT_EQ(shell.CommandLineText(), "rec.journal not-run");
    EXPECT_FALSE(shell.EngineJournal().Contains("note not-run"));
    EXPECT_EQ(shell.PaneText(), before);
    ::SendMessageA(commandLine, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
}

TEST_F(OutputPane, ScrollBarAndWheelScrollAndANewLineBringsTheEndBack) {
    shell.Command("rec.logrepeat 1 120 8");
    ASSERT_TRUE(WaitUntil([&] { return vt::ClientSize(pane).cy > 0 && FirstVisibleLine() > 0; }));
    const int bottom = FirstVisibleLine();

    ::SendMessageA(pane, WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(FirstVisibleLine(), 0);
    ::SendMessageA(pane, WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(FirstVisibleLine(), 1);
    ::SendMessageA(pane, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    EXPECT_EQ(FirstVisibleLine(), 4);  // three lines a notch
    ::SendMessageA(pane, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_EQ(FirstVisibleLine(), 1);
    ::SendMessageA(pane, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(FirstVisibleLine(), bottom);  // the last line at the bottom, no further
    ::SendMessageA(pane, WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(FirstVisibleLine(), bottom);

    ::SendMessageA(pane, WM_VSCROLL, SB_TOP, 0);
    shell.Command("rec.log 1 the newest line");
    const int lines = static_cast<int>(::SendMessageA(pane, EM_GETLINECOUNT, 0, 0));
    EXPECT_EQ(FirstVisibleLine(), bottom + 2);  // the echo and the line
    const POINT last = PointOf(static_cast<int>(::SendMessageA(pane, EM_LINEINDEX, lines - 1, 0)));
    EXPECT_GE(last.y, 0);
    EXPECT_LT(last.y, vt::ClientSize(pane).cy);
}

// The pane as the screen shows it, in 32-bit pixels.
class PaneImage {
public:
    explicit PaneImage(HWND pane) {
        RECT r{};
        ::GetClientRect(pane, &r);
        POINT origin{0, 0};
        ::ClientToScreen(pane, &origin);
        m_width = r.right;
        m_height = r.bottom;
        m_pixels.assign(static_cast<std::size_t>(m_width) * m_height, 0);
        HDC screen = ::GetDC(nullptr);
        HDC memory = ::CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = m_width;
        info.bmiHeader.biHeight = -m_height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap && bits) {
            HGDIOBJ old = ::SelectObject(memory, bitmap);
            ::BitBlt(memory, 0, 0, m_width, m_height, screen, origin.x, origin.y, SRCCOPY);
            ::GdiFlush();
            std::copy_n(static_cast<const DWORD*>(bits), m_pixels.size(), m_pixels.begin());
            ::SelectObject(memory, old);
            ::DeleteObject(bitmap);
        }
        ::DeleteDC(memory);
        ::ReleaseDC(nullptr, screen);
    }

    // The most common pixel: the pane's background.
    DWORD Background() const {
        std::vector<DWORD> sorted = m_pixels;
        std::sort(sorted.begin(), sorted.end());
        DWORD best = 0;
        std::size_t bestRun = 0;
        for (std::size_t i = 0; i < sorted.size();) {
            std::size_t j = i;
            while (j < sorted.size() && sorted[j] == sorted[i]) ++j;
            if (j - i > bestRun) {
                bestRun = j - i;
                best = sorted[i];
            }
            i = j;
        }
        return best;
    }
    // Pixels that are not background in the rows [top, top + height) and the
    // columns [left, right).
    int Ink(int top, int height, int left, int right) const {
        const DWORD background = Background();
        int count = 0;
        for (int y = std::max(0, top); y < std::min(m_height, top + height); ++y)
            for (int x = std::max(0, left); x < std::min(m_width, right); ++x)
                if (m_pixels[static_cast<std::size_t>(y) * m_width + x] != background) ++count;
        return count;
    }
    int Width() const { return m_width; }
    // Pixels (0x00RRGGBB) in the rows [top, top + height) for which `test` holds.
    template <typename Test>
    int Count(int top, int height, Test test) const {
        int count = 0;
        for (int y = std::max(0, top); y < std::min(m_height, top + height); ++y)
            for (int x = 0; x < m_width; ++x)
                if (test(m_pixels[static_cast<std::size_t>(y) * m_width + x])) ++count;
        return count;
    }

private:
    int m_width = 0, m_height = 0;
    std::vector<DWORD> m_pixels;
};

TEST_F(OutputPane, TheScreenShowsTheNewestLinesSoonAfterTheyCome) {
    // A line that fills the pane's width, then a short one after it.
    shell.Command("rec.log 1 " + std::string(200, 'W'));
    shell.Command("rec.log 1 .");
    const int lines = static_cast<int>(::SendMessageA(pane, EM_GETLINECOUNT, 0, 0));
    const int shortLine = static_cast<int>(::SendMessageA(pane, EM_LINEINDEX, lines - 1, 0));
    const int longLine = static_cast<int>(::SendMessageA(pane, EM_LINEINDEX, lines - 3, 0));
    ASSERT_EQ(shell.PaneText().substr(static_cast<std::size_t>(shortLine)), "INFO: . ");
    const POINT shortAt = PointOf(shortLine);
    const POINT longAt = PointOf(longLine);
    const int height = shortAt.y - PointOf(static_cast<int>(::SendMessageA(pane, EM_LINEINDEX, lines - 2, 0))).y;
    ASSERT_GT(height, 0);

    // Within a few repaint intervals: the long line inked across the right
    // half, the short line not at all there.
    bool shown = false;
    int longInk = 0, shortInk = 0;
    WaitUntil(
        [&] {
            const PaneImage image(pane);
            const int half = image.Width() / 2;
            longInk = image.Ink(longAt.y, height, half, image.Width());
            shortInk = image.Ink(shortAt.y, height, half, image.Width());
            shown = longInk > half * height / 20 && shortInk == 0 && image.Ink(shortAt.y, height, 0, half) > 0;
            return shown;
        },
        std::chrono::milliseconds(3000));
    EXPECT_TRUE(shown) << "ink of the long line " << longInk << ", of the short line " << shortInk;
}

bool Red(DWORD pixel) {
    const DWORD r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    return r >= 128 && g < 64 && b < 64;
}

// A system colour as the screen's pixels hold it.
DWORD Pixel(int index) {
    const COLORREF c = ::GetSysColor(index);
    return (static_cast<DWORD>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

TEST_F(OutputPane, CriticalLinesAreRedAndASelectionKeepsItsColours) {
    shell.Command("rec.log 2 " + std::string(30, 'M'));
    shell.Command("rec.log 1 " + std::string(30, 'M'));
    const int lines = static_cast<int>(::SendMessageA(pane, EM_GETLINECOUNT, 0, 0));
    const int info = static_cast<int>(::SendMessageA(pane, EM_LINEINDEX, lines - 1, 0));
    const int critical = static_cast<int>(::SendMessageA(pane, EM_LINEINDEX, lines - 3, 0));
    const std::string text = shell.PaneText();
    ASSERT_EQ(text.substr(static_cast<std::size_t>(critical), 10), "CRITICAL: ");
    ASSERT_EQ(text.substr(static_cast<std::size_t>(info), 6), "INFO: ");
    const int height = PointOf(info).y - PointOf(static_cast<int>(::SendMessageA(pane, EM_LINEINDEX, lines - 2, 0))).y;
    ASSERT_GT(height, 0);

    int criticalRed = 0, infoRed = -1, infoInk = 0;
    WaitUntil(
        [&] {
            const PaneImage image(pane);
            criticalRed = image.Count(PointOf(critical).y, height, Red);
            infoRed = image.Count(PointOf(info).y, height, Red);
            infoInk = image.Ink(PointOf(info).y, height, 0, image.Width());
            return criticalRed > 40 && infoRed == 0 && infoInk > 40;
        },
        std::chrono::milliseconds(3000));
    EXPECT_GT(criticalRed, 40);
    EXPECT_EQ(infoRed, 0);
    EXPECT_GT(infoInk, 40);

    // Selected, the CRITICAL line is drawn in the selection's colours.
    FocusPane();
    const int end = static_cast<int>(::SendMessageA(pane, EM_LINEINDEX, lines - 2, 0)) - 2;
    ::SendMessageA(pane, EM_SETSEL, critical, end);
    int highlight = 0, selectedRed = -1;
    WaitUntil(
        [&] {
            const PaneImage image(pane);
            highlight = image.Count(PointOf(critical).y, height, [](DWORD p) { return p == Pixel(COLOR_HIGHLIGHT); });
            selectedRed = image.Count(PointOf(critical).y, height, Red);
            return highlight > 100 && selectedRed == 0;
        },
        std::chrono::milliseconds(3000));
    EXPECT_GT(highlight, 100);
    EXPECT_EQ(selectedRed, 0);
}

}  // namespace
