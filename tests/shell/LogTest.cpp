// The log: message lines as the pane and the log file show them, the banner,
// opening and closing the log file, and names that do not fit.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "ShellProcess.h"
#include "ShellTestSupport.h"

namespace {

using namespace vt;

const std::string kRule(47, '#');

// The long form of "%#c": weekday and month written out, day, year, time.
const std::regex kTimeStamp(
    "(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday), "
    "(January|February|March|April|May|June|July|August|September|October|November|December) "
    "[0-9]{1,2}, [0-9]{4},? [0-9]{1,2}:[0-9]{2}:[0-9]{2}");

// The megabyte message cut: "0 " filled with 'x' to 255 characters.
const std::string kMegabyteCut = "INFO: 0 " + std::string(253, 'x');

// One run of the shell whose engine logs a set of awkward messages from
// inside pInitAll; the cases below look at what the pane and the file got.
class LogLines : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_tree = std::make_unique<ScratchTree>("log-lines");
        const std::string text300 = "L300:" + std::string(295, 'a');
        const std::string text255 = std::string(255, 'b');
        const std::string text254 = std::string(254, 'c');
        // "\\r" and "\\n" are the recorder's escapes: the engine logs real
        // line breaks.
        const std::vector<std::string> commands = {
            "rec.log 1 " + text300,
            "rec.logrepeat 1 1 1048576",  // one message of a megabyte
            "rec.log 1 two lines\\r\\nsecond",
            "rec.log 1 cr only\\rafter",
            "rec.log 1 lf only\\nafter",
            "rec.log 1 lf first\\nthen\\rcr",
            "rec.log 1 " + text255 + "\\r\\nbeyond",
            "rec.log 1 " + text254 + "\\nZ",
            "rec.log 7 \\r\\nonly the second line",
            "rec.log 0",
            "rec.lognull 0",
            "rec.lognull 5",
            "rec.log -1 negative",
            "rec.log 32 one past the table",
            "rec.log 2147483647 largest",
            "rec.log -2147483648 smallest",
            "rec.enablelog 6 0",
            "rec.log 6 disabled but written",
            "rec.log 1 last message",
            "rec.journal logged",
        };
        std::string file;
        for (const std::string& command : commands) file += command + "\n";
        s_tree->Write("System\\recorder.cmds", file);
        s_shell = std::make_unique<ShellProcess>(*s_tree);
        s_logged = s_shell->EngineJournal().WaitFor("note logged");
        s_pane = s_shell->PaneText();
        s_closed = s_shell->Close();
        s_file = s_tree->Read("System\\Velmor.log");
        s_lines = SplitCrLf(s_file);
    }
    static void TearDownTestSuite() {
        s_shell.reset();
        s_tree.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(s_logged) << "the engine did not finish its log commands";
        ASSERT_TRUE(s_closed);
    }

    // The line is in the file and, with its trailing blank, on a pane line.
    static void ExpectShown(const std::string& line) {
        EXPECT_NE(IndexOf(s_lines, line), -1) << "file lacks: " << line;
        EXPECT_NE(IndexOf(SplitCrLf(s_pane), line + " "), -1) << "pane lacks: " << line;
    }

    static std::unique_ptr<ScratchTree> s_tree;
    static std::unique_ptr<ShellProcess> s_shell;
    static bool s_logged, s_closed;
    static std::string s_pane, s_file;
    static std::vector<std::string> s_lines;
};

std::unique_ptr<ScratchTree> LogLines::s_tree;
std::unique_ptr<ShellProcess> LogLines::s_shell;
bool LogLines::s_logged = false;
bool LogLines::s_closed = false;
std::string LogLines::s_pane;
std::string LogLines::s_file;
std::vector<std::string> LogLines::s_lines;

TEST_F(LogLines, FileStartsWithTheBannerThenTheOpenLine) {
    // 146 characters, each "\n" written as CRLF: 151 bytes.
    ASSERT_GE(s_file.size(), kBannerLength + 5);
    const std::string banner = s_file.substr(0, kBannerLength + 5);
    ASSERT_EQ(banner.substr(0, 2 + 47 + 2), "\r\n" + kRule + "\r\n");
    const std::string title = banner.substr(51, 47);
    EXPECT_EQ(title.substr(0, 8), "# Velmor");
    EXPECT_EQ(title.substr(45), " #");
    EXPECT_NE(title.find(','), std::string::npos) << title;
    EXPECT_EQ(banner.substr(98), "\r\n" + kRule + "\r\n\r\n");

    ASSERT_GT(s_lines.size(), 5u);
    const std::string& open = s_lines[5];
    ASSERT_EQ(open.rfind("INFO: Log file open, ", 0), 0u) << open;
    EXPECT_TRUE(std::regex_match(open.substr(21), kTimeStamp)) << open;
    EXPECT_TRUE(OnlyCrLfLineEnds(s_file));
}

TEST_F(LogLines, FirstLineOfThePaneIsTheOpenLine) {
    // "\r\n", the line and one blank: an empty first pane line.
    ASSERT_GT(s_lines.size(), 5u);
    EXPECT_EQ(s_pane.rfind("\r\n" + s_lines[5] + " \r\n", 0), 0u) << s_pane.substr(0, 80);
}

TEST_F(LogLines, TextIsCutAt255CharactersAndItsFirstLineBreak) {
    ExpectShown("INFO: L300:" + std::string(250, 'a'));
    ExpectShown(kMegabyteCut);
    ExpectShown("INFO: two lines");
    ExpectShown("INFO: cr only");
    ExpectShown("INFO: lf only");
    ExpectShown("INFO: lf first");
    ExpectShown("INFO: " + std::string(255, 'b'));
    ExpectShown("INFO: " + std::string(254, 'c'));
    ExpectShown("FILE: ");
    for (const char* rest : {"second", "after", "then", "beyond", "Z", "only the second"}) {
        EXPECT_EQ(s_file.find(std::string("\n") + rest), std::string::npos) << rest;
        EXPECT_EQ(s_pane.find(std::string("\n") + rest), std::string::npos) << rest;
    }
}

TEST_F(LogLines, EmptyAndNullTextGiveTheBareName) {
    // rec.log 0 (empty), rec.lognull 0 and rec.lognull 5.
    int bare = 0;
    for (const std::string& line : s_lines) bare += line == "CONSOLE: " ? 1 : 0;
    EXPECT_EQ(bare, 2);
    ExpectShown("CONSOLE: ");
    ExpectShown("ED: ");
}

// Nothing else: not the frame timer's start line either, logged before the
// console and the log file exist (that it is logged at all is checked in the
// console_in_process_tests process, LogPaneTest.cpp).
TEST_F(LogLines, FileAndPaneHoldEachMessageOnceInOrderAndNothingElse) {
    const std::vector<std::string> expected = {
        "INFO: L300:" + std::string(250, 'a'),
        kMegabyteCut,
        "INFO: two lines",
        "INFO: cr only",
        "INFO: lf only",
        "INFO: lf first",
        "INFO: " + std::string(255, 'b'),
        "INFO: " + std::string(254, 'c'),
        "FILE: ",
        "CONSOLE: ",
        "CONSOLE: ",
        "ED: ",
        "CATEGORY(-1): negative",
        "CATEGORY(32): one past the table",
        "CATEGORY(2147483647): largest",
        "CATEGORY(-2147483648): smallest",
        "REND: disabled but written",
        "INFO: last message",
    };
    ASSERT_EQ(s_lines.size(), 6 + expected.size() + 1);
    std::string pane = "\r\n" + s_lines[5] + " ";
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(s_lines[6 + i], expected[i]);
        pane += "\r\n" + expected[i] + " ";
    }
    EXPECT_EQ(s_pane, pane);
}

TEST_F(LogLines, CategoryOutsideTheTableIsNamedByItsNumber) {
    ExpectShown("CATEGORY(-1): negative");
    ExpectShown("CATEGORY(32): one past the table");
    ExpectShown("CATEGORY(2147483647): largest");
    ExpectShown("CATEGORY(-2147483648): smallest");
    // The shell lived on: the message after them arrived too.
    ExpectShown("INFO: last message");
}

TEST_F(LogLines, DisabledCategoryIsStillWritten) { ExpectShown("REND: disabled but written"); }

TEST_F(LogLines, CloseWritesTheClosedLineLast) {
    ASSERT_FALSE(s_lines.empty());
    const std::string& last = s_lines.back();
    ASSERT_EQ(last.rfind("INFO: Log file closed, ", 0), 0u) << last;
    EXPECT_TRUE(std::regex_match(last.substr(23), kTimeStamp)) << last;
    EXPECT_EQ(s_file.substr(s_file.size() - 2), "\r\n");
}

// Opening and closing the log file while the shell runs, by engine commands
// typed into the command line; each step is read once the file is closed.
TEST(LogFile, OpenOnAnOpenLogClosesTheOldFileAndNullReopensTheLastName) {
    ScratchTree tree("log-reopen");
    ShellProcess shell(tree);
    ASSERT_TRUE(shell.WaitEngineStarted());

    shell.Command("rec.log 1 marker-a");
    shell.Command("rec.openlog second.log");
    Sync(shell, "opened-second");
    const std::string first = tree.Read("System\\Velmor.log");
    const auto firstLines = SplitCrLf(first);
    ASSERT_EQ(firstLines.size(), 10u) << first;
    EXPECT_EQ(firstLines[5].rfind("INFO: Log file open, ", 0), 0u);
    EXPECT_EQ(firstLines[6], "CONSOLE: rec.log 1 marker-a");
    EXPECT_EQ(firstLines[7], "INFO: marker-a");
    EXPECT_EQ(firstLines[8], "CONSOLE: rec.openlog second.log");
    EXPECT_EQ(firstLines[9].rfind("INFO: Log file closed, ", 0), 0u) << firstLines[9];

    // Null: the last name given, second.log, truncated and opened afresh.
    shell.Command("rec.log 1 marker-b");
    shell.Command("rec.openlog -");
    shell.Command("rec.closelog");
    Sync(shell, "closed-second");
    const std::string second = tree.Read("System\\second.log");
    const auto secondLines = SplitCrLf(second);
    EXPECT_EQ(second.substr(0, kBannerLength + 5), first.substr(0, kBannerLength + 5));
    ASSERT_EQ(secondLines.size(), 8u) << second;
    EXPECT_EQ(secondLines[5].rfind("INFO: Log file open, ", 0), 0u);
    EXPECT_EQ(secondLines[6], "CONSOLE: rec.closelog");
    EXPECT_EQ(second.find("marker-b"), std::string::npos) << "second.log was not truncated";
    EXPECT_EQ(secondLines[7].rfind("INFO: Log file closed, ", 0), 0u);
    EXPECT_EQ(tree.Read("System\\Velmor.log"), first) << "the null name opened Velmor.log";

    // A second CloseLog with no log open writes nothing anywhere.
    const std::string paneBefore = shell.PaneText();
    shell.Command("rec.closelog");
    Sync(shell, "closed-again");
    const std::string paneAfter = shell.PaneText();
    EXPECT_EQ(paneAfter.substr(0, paneBefore.size()), paneBefore);
    EXPECT_EQ(paneAfter.substr(paneBefore.size()),
              "\r\nCONSOLE: rec.closelog \r\nCONSOLE: rec.journal closed-again ");
    EXPECT_EQ(tree.Read("System\\second.log"), second);

    // The close sequence's CloseLog finds no log open either.
    ASSERT_TRUE(shell.Close());
    EXPECT_EQ(tree.Read("System\\second.log"), second);
    EXPECT_EQ(tree.Read("System\\Velmor.log"), first);
}

TEST(LogFile, NameLongerThanTheFieldIsRefused) {
    ScratchTree tree("log-longname");
    const std::string name(300, 'n');
    tree.Write("System\\recorder.cmds",
               "rec.openlog " + name + "\nrec.dump record.bin\nrec.journal refused\n");
    ShellProcess shell(tree);
    ASSERT_TRUE(shell.EngineJournal().WaitFor("note refused"));
    const std::string pane = shell.PaneText();
    EXPECT_NE(pane.find("\r\nINFO: Failed to open log "), std::string::npos) << pane;

    // The open log was closed first, and no file of a cut name appeared.
    const auto lines = FileLines(tree, "System\\Velmor.log");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("INFO: Log file closed, ", 0), 0u) << lines.back();
    EXPECT_FALSE(tree.Exists("System\\" + name.substr(0, 255)));
    EXPECT_FALSE(tree.Exists("System\\" + name.substr(0, 254)));

    const RecordDump dump(tree.Read("System\\record.bin"));
    ASSERT_TRUE(dump.Complete());
    EXPECT_EQ(dump.Pointer(record::kLogFile), 0u);
    EXPECT_EQ(dump.Field(record::kLogFileName), "Velmor.log");
    EXPECT_TRUE(dump.ZeroFrom(record::kLogFileName + 10, record::kSize)) << "something overran";

    // The shell goes on; the menu's Open log reopens the kept name.
    shell.MenuCommand(32779);  // Log, Open log file
    Sync(shell, "reopened");
    ASSERT_TRUE(shell.Close());
    const auto reopened = FileLines(tree, "System\\Velmor.log");
    ASSERT_GE(reopened.size(), 8u);
    EXPECT_EQ(reopened[5].rfind("INFO: Log file open, ", 0), 0u);
    EXPECT_EQ(reopened[6], "CONSOLE: rec.journal reopened");
}

}  // namespace
