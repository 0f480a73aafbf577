// The command line's history in the real shell: Up and Down as the keyboard
// sends them, the draft given back, what is stored and what is not, and the
// file Velmor.history read at the start and replaced whole at the close.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ShellProcess.h"
#include "ShellWindows.h"
#include "res/resource.h"

namespace {

using vt::ScratchTree;
using vt::ShellProcess;

constexpr char kHistory[] = "System\\Velmor.history";

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

class ConsoleHistory : public testing::Test {
protected:
    ConsoleHistory()
        : tree(std::string("history-") + testing::UnitTest::GetInstance()->current_test_info()->name()) {}

    // Starts a shell in the tree; the journal of an earlier one goes first.
    void Start() {
        tree.Remove("System\\recorder.journal");
        shell = std::make_unique<ShellProcess>(tree);
        ASSERT_NE(shell->Console(), nullptr);
        ASSERT_TRUE(shell->WaitEngineStarted());
        commandLine = shell->Control(IDC_COMMAND_LINE);
    }
    // Presses Up or Down in the command line and returns its text once the
    // key has been handled: once the text is `expected`, or, without one, once
    // it has changed (at most 5 s). The key waits in the console's queue for
    // its turn, so the text cannot be read right after it is sent; a no-op
    // key still pending is handled before the next one.
    std::string Press(WORD key, const std::optional<std::string>& expected) {
        const std::string before = shell->CommandLineText();
        vt::PostKey(commandLine, key);
        // A key that should change nothing: give it time to be handled, so
        // that a later command's text does not overtake it.
        if (expected && *expected == before) ::Sleep(300);
        vt::WaitUntil([&] {
            const std::string text = shell->CommandLineText();
            return expected ? text == *expected : text != before;
        });
        return shell->CommandLineText();
    }
    std::string Up(const std::optional<std::string>& expected = {}) {
        return Press(VK_UP, expected);
    }
    std::string Down(const std::optional<std::string>& expected = {}) {
        return Press(VK_DOWN, expected);
    }
    // The caret stands after the whole text, nothing selected.
    bool CaretAtEnd() {
        const LRESULT sel = ::SendMessageA(commandLine, EM_GETSEL, 0, 0);
        const auto length = static_cast<int>(::SendMessageA(commandLine, WM_GETTEXTLENGTH, 0, 0));
        return LOWORD(sel) == length && HIWORD(sel) == length;
    }

    ScratchTree tree;
    std::unique_ptr<ShellProcess> shell;
    HWND commandLine = nullptr;
};

TEST_F(ConsoleHistory, UpAndDownWalkTheStoredCommandsAndGiveTheDraftBack) {
    Start();
    shell->Command("rec.journal one");
    shell->Command("rec.journal two");
    shell->Command("rec.journal two");  // the same again: stored once
    shell->Type("   \t ");             // blank: never stored
    // Its Enter is handled (the line cleared) before the next text is set.
    ASSERT_TRUE(vt::WaitUntil([&] { return shell->CommandLineText().empty(); }));
    shell->Command("   rec.journal three  ");  // stored trimmed, as echoed
    ::SendMessageA(commandLine, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("half typed"));

    EXPECT_EQ(Up("rec.journal three"), "rec.journal three");
    EXPECT_TRUE(CaretAtEnd());
    EXPECT_EQ(Up("rec.journal two"), "rec.journal two");
    EXPECT_EQ(Up("rec.journal one"), "rec.journal one");
    EXPECT_EQ(Up("rec.journal one"), "rec.journal one");  // the oldest: no further
    EXPECT_EQ(Down("rec.journal two"), "rec.journal two");
    EXPECT_EQ(Down("rec.journal three"), "rec.journal three");
    EXPECT_EQ(Down("half typed"), "half typed");
    EXPECT_TRUE(CaretAtEnd());
    EXPECT_EQ(Down("half typed"), "half typed");

    // Editing a recalled command leaves the history as it was.
    EXPECT_EQ(Up("rec.journal three"), "rec.journal three");
    ::SendMessageA(commandLine, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("rec.journal changed"));
    EXPECT_EQ(Up("rec.journal two"), "rec.journal two");
    EXPECT_EQ(Down("rec.journal three"), "rec.journal three");

    // Running a command starts over after the newest.
    shell->Command("rec.journal four");
    EXPECT_EQ(Up("rec.journal four"), "rec.journal four");
    EXPECT_TRUE(shell->Close());
    EXPECT_EQ(tree.Read(kHistory),
              Lines({"rec.journal one", "rec.journal two", "rec.journal three", "rec.journal four"}));
}

TEST_F(ConsoleHistory, KeptAcrossRunsAtMostAHundredReplacedWhole) {
    std::vector<std::string> old;
    for (int i = 1; i <= 99; ++i) old.push_back("rec.journal old " + std::to_string(i));
    tree.Write(kHistory, Lines(old));

    Start();
    EXPECT_EQ(Up("rec.journal old 99"), "rec.journal old 99");
    shell->Command("rec.journal new 1");
    shell->Command("rec.journal new 2");
    shell->Command("rec.journal new 3");
    EXPECT_TRUE(shell->Close());

    std::vector<std::string> kept(old.begin() + 2, old.end());
    for (int i = 1; i <= 3; ++i) kept.push_back("rec.journal new " + std::to_string(i));
    ASSERT_EQ(kept.size(), 100u);
    EXPECT_EQ(tree.Read(kHistory), Lines(kept));
    EXPECT_FALSE(tree.Exists("System\\Velmor.history.new"));

    Start();
    EXPECT_EQ(Up("rec.journal new 3"), "rec.journal new 3");
    EXPECT_EQ(Up("rec.journal new 2"), "rec.journal new 2");
    EXPECT_TRUE(shell->Close());
}

TEST_F(ConsoleHistory, AShellEndedByForceLeavesTheOldFileWhole) {
    const std::string old = Lines({"rec.journal kept 1", "rec.journal kept 2"});
    tree.Write(kHistory, old);
    Start();
    shell->Command("rec.journal lost");
    shell->Kill();
    ASSERT_TRUE(shell->WaitExit());
    EXPECT_EQ(tree.Read(kHistory), old);
}

TEST_F(ConsoleHistory, AMalformedFileGivesItsSoundLinesAndNoMessage) {
    // Sound lines around a line of a megabyte, lines with control characters,
    // CR-only line ends, and a line longer than the command line holds.
    const std::string wide = "rec.journal " + std::string(400, 'w');
    tree.Write(kHistory, "rec.journal first\n" + std::string(1 << 20, 'x') + "\n" +
                             "rec.journal bad\x01" "byte\r\n" + std::string("\x7f\x00\x1b\n", 4) +
                             "rec.journal second\rrec.journal third\r" + wide + "\r\n");
    Start();
    // The command line holds what fits its width, as when typed.
    const std::string recalled = Up();
    EXPECT_FALSE(recalled.empty());
    EXPECT_LT(recalled.size(), wide.size());
    EXPECT_EQ(wide.compare(0, recalled.size(), recalled), 0) << recalled;
    EXPECT_EQ(Up("rec.journal third"), "rec.journal third");
    EXPECT_EQ(Up("rec.journal second"), "rec.journal second");
    EXPECT_EQ(Up("rec.journal first"), "rec.journal first");
    EXPECT_EQ(Up("rec.journal first"), "rec.journal first");
    EXPECT_EQ(vt::TopLevelWindows(shell->Id(), "Velmor Console").size(), 1u);
    EXPECT_TRUE(shell->Close());

    // Bytes at random: the shell runs, and what it keeps is text it can read.
    std::mt19937 random(12);
    std::string noise(64 << 10, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    tree.Write(kHistory, noise);
    Start();
    const std::string text = Up();
    for (char c : text) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\t') << text;
    EXPECT_TRUE(shell->Close());
    const std::string written = tree.Read(kHistory);
    std::size_t lines = 0;
    for (std::size_t at = 0; at < written.size(); ++lines) {
        const std::size_t end = written.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        for (std::size_t i = at; i < end; ++i)
            EXPECT_FALSE(static_cast<unsigned char>(written[i]) < 0x20 && written[i] != '\t');
        at = end + 2;
    }
    EXPECT_LE(lines, 100u);
}

}  // namespace
