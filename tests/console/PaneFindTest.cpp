// The output pane's context menu and find in the real shell: the menu's items
// and their states as the shell shows them, what they do, and the system's
// Find dialog with F3 and Shift+F3, its keys working inside the console's
// modal loop.
#include <gtest/gtest.h>

#include <windows.h>
#include <dlgs.h>  // after windows.h, whose types it uses

#include <string>
#include <utility>
#include <vector>

#include "Clipboard.h"
#include "PaneFixture.h"
#include "ShellWindows.h"

namespace {

constexpr int kCopy = 57634, kSelectAll = 57642, kFind = 57636;

using vt::WaitUntil;

class PaneTools : public vt::PaneFixture {
protected:
    PaneTools() : PaneFixture("find-") {}

    // The selection once it is `expected` (at most 5 s). A posted key waits
    // in the shell's queue behind what is there, and a message sent meanwhile
    // overtakes it; where the key should change nothing, it is given time to
    // be handled before the test goes on.
    std::pair<int, int> SelectionOnce(std::pair<int, int> expected) {
        if (Selection() == expected) ::Sleep(300);
        WaitUntil([&] { return Selection() == expected; });
        return Selection();
    }
    // Offsets of every occurrence of `text` (lower case) in the pane, in any case.
    std::vector<int> Occurrences(const std::string& text) {
        std::string all = shell.PaneText();
        for (char& c : all) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
        std::vector<int> found;
        for (std::size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1))
            found.push_back(static_cast<int>(at));
        return found;
    }
    // The context menu after a right click on the pane, read while it shows.
    std::vector<vt::MenuItem> RightClick() {
        const std::size_t mark = shell.EngineJournal().Lines().size();
        ::PostMessageA(pane, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(6, 6));
        ::PostMessageA(pane, WM_RBUTTONUP, 0, MAKELPARAM(6, 6));
        return vt::WaitForPopupMenu(shell, mark);
    }
    // Types a mnemonic into the open menu; waits until it has closed.
    void Choose(const std::vector<vt::MenuItem>& menu, char key) {
        const HWND popup = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(menu.at(0).window));
        ::PostMessageA(popup, WM_CHAR, static_cast<WPARAM>(key), 1);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(popup); }));
    }
    // Three lines: "needle", "NEEDLE", "needles"; the escapes keep the word
    // out of the echoed commands.
    void LogNeedles() {
        shell.Command("rec.log 1 alpha n\\x65edle");
        shell.Command("rec.log 1 beta N\\x45EDLE");
        shell.Command("rec.log 1 gamma n\\x65edles");
    }
    HWND FindDialog() {
        const std::vector<HWND> found = vt::TopLevelWindows(shell.Id(), "Find");
        return found.empty() ? nullptr : found.front();
    }
    HWND WaitForFindDialog() {
        HWND dialog = nullptr;
        WaitUntil([&] { return (dialog = FindDialog()) != nullptr && ::IsWindowVisible(dialog); });
        return dialog;
    }
    // Types `text` into the Find dialog's box, as keys would.
    void TypeInto(HWND dialog, const std::string& text) {
        HWND box = ::GetDlgItem(dialog, edt1);
        ::SendMessageA(box, EM_SETSEL, 0, -1);
        for (char c : text) ::PostMessageA(box, WM_CHAR, static_cast<unsigned char>(c), 1);
        EXPECT_TRUE(WaitUntil([&] { return vt::WindowText(box) == text; }));
    }
    // Enter in the Find dialog's box: Find Next, if the dialog gets its keys.
    std::pair<int, int> FindNext(HWND dialog, std::pair<int, int> expected) {
        vt::PostKey(::GetDlgItem(dialog, edt1), VK_RETURN);
        return SelectionOnce(expected);
    }

};

TEST_F(PaneTools, ContextMenuCopiesOnlyASelectionAndSelectAllTakesThePane) {
    shell.Command("rec.log 1 some words to copy");
    shell.Command("rec.ontick rec.popup");
    HWND commandLine = shell.Control(kCommandLine);
    vt::Click(commandLine);
    ASSERT_TRUE(vt::WaitForFocus(commandLine));
    const int end = static_cast<int>(::SendMessageA(pane, WM_GETTEXTLENGTH, 0, 0));
    ::SendMessageA(pane, EM_SETSEL, end, end);

    std::vector<vt::MenuItem> menu = RightClick();
    ASSERT_EQ(menu.size(), 4u);
    EXPECT_EQ(menu[0].text, "&Copy");
    EXPECT_EQ(menu[0].id, kCopy);
    EXPECT_TRUE(menu[0].state & MF_GRAYED) << "Copy with nothing selected";
    EXPECT_EQ(menu[1].text, "Select &All");
    EXPECT_EQ(menu[1].id, kSelectAll);
    EXPECT_EQ(menu[2].id, 0);  // separator
    EXPECT_EQ(menu[3].text, "&Find...");
    EXPECT_EQ(menu[3].id, kFind);
    EXPECT_FALSE(menu[1].state & MF_GRAYED);
    EXPECT_FALSE(menu[3].state & MF_GRAYED);
    // The right click gave the pane the focus, so the Edit menu follows it.
    EXPECT_TRUE(vt::WaitForFocus(pane));
    Choose(menu, 'a');
    const std::string text = shell.PaneText();
    const std::pair<int, int> all(0, static_cast<int>(text.size()));
    EXPECT_EQ(SelectionOnce(all), all);

    menu = RightClick();
    ASSERT_EQ(menu.size(), 4u);
    EXPECT_FALSE(menu[0].state & MF_GRAYED) << "Copy with a selection";
    ASSERT_TRUE(vt::SetClipboardText("before the copy"));
    Choose(menu, 'c');
    EXPECT_TRUE(WaitUntil([&] { return vt::ClipboardText() == text; })) << vt::ClipboardText();
    EXPECT_EQ(shell.PaneText(), text);  // read-only

    // Shift+F10 in the pane shows the same menu; Find... opens the Find
    // dialog, owned by the console.
    const std::size_t mark = shell.EngineJournal().Lines().size();
    vt::PressKeys(shell.Console(), {VK_SHIFT, VK_F10});
    menu = vt::WaitForPopupMenu(shell, mark);
    ASSERT_EQ(menu.size(), 4u);
    Choose(menu, 'f');
    HWND dialog = WaitForFindDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(::GetWindow(dialog, GW_OWNER), shell.Console());
    shell.Command("rec.ontick off");
}

TEST_F(PaneTools, FindSelectsMatchesAndF3AndShiftF3RepeatTheSearch) {
    LogNeedles();
    const std::vector<int> at = Occurrences("needle");
    ASSERT_EQ(at.size(), 3u);
    const int m1 = at[0], m2 = at[1], m3 = at[2];
    const std::string before = shell.PaneText();

    // F3 before any search opens the Find dialog and selects nothing.
    ASSERT_TRUE(vt::ClickText(pane));
    const std::pair<int, int> selection = Selection();
    vt::PostKey(pane, VK_F3);
    HWND dialog = WaitForFindDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(::GetWindow(dialog, GW_OWNER), shell.Console());
    EXPECT_EQ(Selection(), selection);

    // Down from the end goes round to the first match; case does not matter.
    TypeInto(dialog, "needle");
    EXPECT_EQ(FindNext(dialog, std::make_pair(m1, m1 + 6)), std::make_pair(m1, m1 + 6));
    EXPECT_EQ(FindNext(dialog, std::make_pair(m2, m2 + 6)), std::make_pair(m2, m2 + 6));
    vt::PostKey(pane, VK_F3);
    EXPECT_EQ(SelectionOnce({m3, m3 + 6}), std::make_pair(m3, m3 + 6));
    vt::PressKeys(shell.Console(), {VK_SHIFT, VK_F3});
    EXPECT_TRUE(WaitUntil([&] { return Selection() == std::make_pair(m2, m2 + 6); })) << Selection().first;
    // The match is in view.
    const int line = static_cast<int>(::SendMessageA(pane, EM_LINEFROMCHAR, m2, 0));
    const int top = static_cast<int>(::SendMessageA(pane, EM_GETFIRSTVISIBLELINE, 0, 0));
    EXPECT_LE(top, line);

    // Tab moves inside the dialog; Escape closes it.
    HWND box = ::GetDlgItem(dialog, edt1);
    ::SetForegroundWindow(dialog);
    vt::PostKey(box, VK_TAB);
    EXPECT_TRUE(WaitUntil([&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &info) &&
               info.hwndFocus != box && ::IsChild(dialog, info.hwndFocus);
    }));
    vt::PostKey(box, VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return FindDialog() == nullptr; }));
    EXPECT_TRUE(shell.Running());
    EXPECT_EQ(shell.PaneText(), before);  // no line logged by any search
}

TEST_F(PaneTools, MatchCaseWholeWordUpAndNothingFound) {
    LogNeedles();
    const std::vector<int> at = Occurrences("needle");
    ASSERT_EQ(at.size(), 3u);
    const int m1 = at[0], m3 = at[2];
    const std::string before = shell.PaneText();

    vt::Click(shell.Control(kCommandLine));
    vt::PressKeys(shell.Console(), {VK_CONTROL, 'F'});
    HWND dialog = WaitForFindDialog();
    ASSERT_NE(dialog, nullptr);
    TypeInto(dialog, "needle");
    ::SendMessageA(::GetDlgItem(dialog, chx2), BM_CLICK, 0, 0);  // match case
    EXPECT_EQ(FindNext(dialog, std::make_pair(m1, m1 + 6)), std::make_pair(m1, m1 + 6));
    EXPECT_EQ(FindNext(dialog, std::make_pair(m3, m3 + 6)), std::make_pair(m3, m3 + 6));  // not "NEEDLE"
    ::SendMessageA(::GetDlgItem(dialog, chx1), BM_CLICK, 0, 0);  // whole word
    EXPECT_EQ(FindNext(dialog, std::make_pair(m1, m1 + 6)), std::make_pair(m1, m1 + 6));    // not "needles"
    EXPECT_EQ(FindNext(dialog, std::make_pair(m1, m1 + 6)), std::make_pair(m1, m1 + 6));
    ::SendMessageA(::GetDlgItem(dialog, chx1), BM_CLICK, 0, 0);
    ::SendMessageA(::GetDlgItem(dialog, rad1), BM_CLICK, 0, 0);  // up
    EXPECT_EQ(FindNext(dialog, std::make_pair(m3, m3 + 6)), std::make_pair(m3, m3 + 6));    // round from the top

    TypeInto(dialog, "absent words");
    vt::PostKey(::GetDlgItem(dialog, edt1), VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return Selection().first == Selection().second; }));
    const std::pair<int, int> found = Selection();
    EXPECT_EQ(found.first, found.second) << "nothing is selected";
    EXPECT_EQ(shell.PaneText(), before);
    EXPECT_TRUE(::IsWindowVisible(dialog));
}

}  // namespace
