// The output pane filled and trimmed many times over with long lines, and the
// log file under awkward use: the open log opened again under its own name
// (the record's own field), names that cannot be opened, an empty name. Every line reaches the file, the pane
// shows the last ones whole, and the shell runs on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ReliabilitySupport.h"
#include "ScratchTree.h"
#include "engine/vmserver.h"

namespace {

constexpr std::size_t kLogFileNameOffset = kPlatformRecordLayout.LogFileName;
constexpr std::size_t kLogFileOffset = kPlatformRecordLayout.LogFile;


// Line i of "rec.logrepeat CAT COUNT LEN": "<i> " filled with 'x' to LEN.
std::string Repeated(int i, std::size_t length) {
    std::string text = std::to_string(i) + ' ';
    text.resize(length, 'x');
    return text;
}

std::vector<std::string> FileLines(const vt::ScratchTree& tree, const std::string& name) {
    return vt::SplitLines(tree.Read("System\\" + name));
}

// A pointer field of the record, as wide as a pointer of this build.
std::uintptr_t Pointer(const std::string& bytes, std::size_t offset) {
    std::uintptr_t value = 0;
    for (int i = sizeof value - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

TEST(PaneUnderLoad, LongLinesFillAndTrimItManyTimesOverAndNoneIsLost) {
    vt::ScratchTree tree("rel-pane-fill");
    vt::ShellProcess shell(vt::StartIn(tree));
    ASSERT_TRUE(shell.WaitEngineStarted());
    // Three rounds of 1000 lines of 255 characters under A, B and C: the
    // pane is cut by 100 lines about thirty times.
    const char* names[] = {"A", "B", "C"};
    for (int round = 0; round < 3; ++round)
        ASSERT_TRUE(shell.TryCommand("rec.logrepeat " + std::to_string(17 + round) + " 1000 255"));
    ASSERT_TRUE(shell.Sync("filled"));
    const std::string paneText = shell.PaneText();
    ASSERT_TRUE(shell.Close());

    // The file has every line, in order, right after its command's echo.
    const std::vector<std::string> file = FileLines(tree, "Velmor.log");
    std::vector<std::string> expected;  // every message line from the first command on
    for (int round = 0; round < 3; ++round) {
        expected.push_back("CONSOLE: rec.logrepeat " + std::to_string(17 + round) + " 1000 255");
        for (int i = 0; i < 1000; ++i)
            expected.push_back(std::string(names[round]) + ": " + Repeated(i, 255));
    }
    expected.push_back("CONSOLE: rec.journal filled");
    const int first = vt::IndexOf(file, expected.front());
    ASSERT_NE(first, -1);
    ASSERT_GE(file.size(), first + expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(file[first + i], expected[i]) << "line " << i;

    // The pane holds at most 301 lines: the newest ones, each whole with its
    // blank, although together they are far more than a plain edit
    // control's default limit of 30,000 characters.
    std::vector<std::string> pane = vt::SplitLines(paneText);
    ASSERT_LE(pane.size(), 301u);
    ASSERT_GE(pane.size(), 201u);
    EXPECT_GT(paneText.size(), 30000u);
    for (std::size_t i = 0; i < pane.size(); ++i) {
        const std::string& want = expected[expected.size() - pane.size() + i];
        EXPECT_EQ(pane[i], want + " ") << "pane line " << i;
    }
}

TEST(LogFileMisuse, OpeningTheOpenLogUnderItsOwnFieldStartsItAfresh) {
    vt::ScratchTree tree("rel-log-own-name");
    vt::ShellProcess shell(vt::StartIn(tree));
    ASSERT_TRUE(shell.WaitEngineStarted());
    ASSERT_TRUE(shell.TryCommand("rec.log 1 before the reopen"));
    ASSERT_TRUE(shell.TryCommand("rec.openlogfield"));
    ASSERT_TRUE(shell.TryCommand("rec.log 1 after the reopen"));

    // A name of 255 characters, the most the field holds, then its own field.
    const std::string longName = std::string(251, 'n') + ".log";
    ASSERT_TRUE(shell.TryCommand("rec.openlog " + longName));
    ASSERT_TRUE(shell.TryCommand("rec.log 1 in the long log"));
    ASSERT_TRUE(shell.TryCommand("rec.openlogfield"));
    ASSERT_TRUE(shell.TryCommand("rec.dump record.bin"));
    ASSERT_TRUE(shell.TryCommand("rec.log 1 long log reopened"));
    ASSERT_TRUE(shell.Sync("reopened"));
    ASSERT_TRUE(shell.Close());

    // Velmor.log: the reopen truncated it; what follows is complete.
    const std::vector<std::string> first = FileLines(tree, "Velmor.log");
    ASSERT_GE(first.size(), 9u);
    EXPECT_EQ(first[5].rfind("INFO: Log file open, ", 0), 0u) << first[5];
    EXPECT_EQ(first[6], "CONSOLE: rec.log 1 after the reopen");
    EXPECT_EQ(first[7], "INFO: after the reopen");
    EXPECT_EQ(first[8], "CONSOLE: " + ("rec.openlog " + longName).substr(0, 255));
    EXPECT_EQ(first.back().rfind("INFO: Log file closed, ", 0), 0u);
    EXPECT_EQ(vt::IndexOf(first, "INFO: before the reopen"), -1);

    const std::vector<std::string> second = FileLines(tree, longName);
    ASSERT_GE(second.size(), 9u);
    EXPECT_EQ(second[5].rfind("INFO: Log file open, ", 0), 0u);
    EXPECT_EQ(second[6], "CONSOLE: rec.dump record.bin");
    EXPECT_EQ(second[7], "CONSOLE: rec.log 1 long log reopened");
    EXPECT_EQ(vt::IndexOf(second, "INFO: in the long log"), -1);
    EXPECT_EQ(second.back().rfind("INFO: Log file closed, ", 0), 0u);

    // The field holds the name whole, terminated; nothing after it changed.
    const std::string record = tree.Read("System\\record.bin");
    ASSERT_EQ(record.size(), 4096u);
    EXPECT_EQ(record.substr(kLogFileNameOffset, 256), longName + '\0');
    EXPECT_EQ(record.find_first_not_of('\0', kLogFileNameOffset + 256), std::string::npos);
    EXPECT_NE(Pointer(record, kLogFileOffset), 0u);
}

TEST(LogFileMisuse, NamesThatCannotBeOpenedAreReportedAndTheShellRunsOn) {
    vt::ScratchTree tree("rel-log-unopenable");
    vt::ShellProcess shell(vt::StartIn(tree));
    ASSERT_TRUE(shell.WaitEngineStarted());
    const std::string names[] = {
        "Z:\\sys\\devices\\system\\Velmor.log",  // where nothing can be made
        "no such folder\\Velmor.log",
        "..\\System",                             // a folder
        "bad<name>|?.log",
        "",                                       // the empty name
    };
    int failures = 0;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(shell.TryCommand(name.empty() ? "rec.openlog" : "rec.openlog " + name));
        ASSERT_TRUE(shell.TryCommand("rec.dump record.bin"));
        ASSERT_TRUE(shell.Sync("tried " + std::to_string(++failures)));
        const std::string record = tree.Read("System\\record.bin");
        ASSERT_EQ(record.size(), 4096u);
        EXPECT_EQ(Pointer(record, kLogFileOffset), 0u) << "a log is open";
        EXPECT_EQ(record.substr(kLogFileNameOffset, name.size() + 1), name + '\0');
    }
    // A null name tries the empty name again; the menu's Open log then opens
    // Velmor.log anew.
    ASSERT_TRUE(shell.TryCommand("rec.openlog -"));
    ASSERT_TRUE(shell.Sync("null name"));
    shell.MenuCommand(32779);
    ASSERT_TRUE(shell.Sync("reopened"));
    const std::vector<std::string> pane = vt::SplitLines(shell.PaneText());
    int reported = 0;
    for (const std::string& line : pane) reported += line == "INFO: Failed to open log ";
    EXPECT_EQ(reported, failures + 1);
    ASSERT_TRUE(shell.Close());

    const std::vector<std::string> file = FileLines(tree, "Velmor.log");
    ASSERT_GE(file.size(), 8u);
    EXPECT_EQ(file[5].rfind("INFO: Log file open, ", 0), 0u);
    EXPECT_EQ(file[6], "CONSOLE: rec.journal reopened");
    EXPECT_EQ(file.back().rfind("INFO: Log file closed, ", 0), 0u);
    EXPECT_FALSE(tree.Exists("System\\bad<name>|?.log"));
}

// ------------------------------------------------------- log from anywhere

// The state bits of a menu item as "rec.window" journals them, or ~0u.
unsigned MenuItemState(vt::Journal& journal, int id) {
    const std::string key = " id=" + std::to_string(id) + " ";
    for (const std::string& line : journal.Lines()) {
        if (line.rfind("menu ", 0) != 0 || line.find(key) == std::string::npos) continue;
        const std::size_t at = line.find("state=0x");
        if (at != std::string::npos) return std::stoul(line.substr(at + 8), nullptr, 16);
    }
    return ~0u;
}

TEST(LogFileMisuse, ASecondShellInTheSameFolderLeavesTheFirstOnesLogWhole) {
    vt::ScratchTree tree("rel-log-two-shells");
    vt::ShellProcess first(vt::StartIn(tree));
    ASSERT_TRUE(first.WaitEngineStarted());
    ASSERT_TRUE(first.TryCommand("rec.logrepeat 1 2000 20"));
    ASSERT_TRUE(first.Sync("first before"));

    vt::ShellStart start = vt::StartIn(tree);
    start.journal = tree.System() + "\\second.journal";
    vt::ShellProcess second(start);
    ASSERT_TRUE(second.WaitEngineStarted());
    ASSERT_TRUE(second.Sync("second started"));
    EXPECT_NE(second.PaneText().find("INFO: Failed to open log"), std::string::npos);
    ASSERT_TRUE(second.TryCommand("rec.logrepeat 1 500 30"));
    ASSERT_TRUE(first.TryCommand("rec.logrepeat 1 500 40"));
    ASSERT_TRUE(second.TryCommand("rec.window"));
    const unsigned openLog = MenuItemState(second.EngineJournal(), 32779);
    ASSERT_NE(openLog, ~0u) << "no Open log item in the journal";
    EXPECT_EQ(openLog & (MF_GRAYED | MF_DISABLED), 0u);

    // Another process reads the file while the first shell writes it.
    ASSERT_TRUE(first.Sync("first readable"));
    EXPECT_NE(vt::ReadFileBytes(tree.System() + "\\Velmor.log").find("INFO: Log file open, "),
              std::string::npos);
    ASSERT_TRUE(second.Close());
    ASSERT_TRUE(first.Close());

    const std::string bytes = tree.Read("System\\Velmor.log");
    EXPECT_EQ(bytes.find('\0'), std::string::npos) << "NUL bytes in the log";
    const std::vector<std::string> log = vt::SplitLines(bytes);
    int at = 0;
    for (int i = 0; i < 2000 && at >= 0; ++i) at = vt::IndexOf(log, "INFO: " + Repeated(i, 20), at);
    for (int i = 0; i < 500 && at >= 0; ++i) at = vt::IndexOf(log, "INFO: " + Repeated(i, 40), at);
    EXPECT_GE(at, 0) << "a line of the first shell is missing or out of order";
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(vt::IndexOf(log, "INFO: " + Repeated(i, 30)), -1) << "the second shell wrote";
    EXPECT_EQ(log.back().rfind("INFO: Log file closed, ", 0), 0u);
}

// "thread T line I" split into T and I, or false for any other text.
bool ThreadLine(const std::string& line, int& thread, int& index) {
    char tail = 0;
    return std::sscanf(line.c_str(), "INFO: thread %d line %d%c", &thread, &index, &tail) == 2;
}

TEST(LogFileMisuse, EngineThreadsLogWholeLinesWhileTheGuiThreadWaitsForThem) {
    constexpr int kThreads = 4, kLines = 5000;
    vt::ScratchTree tree("rel-log-threads");
    vt::ShellProcess shell(vt::StartIn(tree));
    ASSERT_TRUE(shell.WaitEngineStarted());
    // The engine call waits for its workers: a worker that waited for the
    // GUI thread would never finish, and the wait would time out.
    shell.Type("rec.threadlog 4 5000");
    ASSERT_TRUE(shell.EngineJournal().WaitFor("note threads done"))
        << "the workers did not finish; last: " << shell.EngineJournal().Lines().back();
    ASSERT_TRUE(shell.Sync("threads logged"));
    const std::vector<std::string> pane = vt::SplitLines(shell.PaneText());
    ASSERT_TRUE(shell.Close());

    // Every line whole and once, each thread's in its order, nothing else torn.
    const std::vector<std::string> log = FileLines(tree, "Velmor.log");
    std::vector<int> next(kThreads, 0);
    std::vector<std::string> threadLines;
    for (const std::string& line : log) {
        int t = -1, i = -1;
        if (ThreadLine(line, t, i)) {
            ASSERT_TRUE(t >= 0 && t < kThreads) << line;
            ASSERT_EQ(i, next[t]) << "thread " << t << " out of order";
            ++next[t];
            threadLines.push_back(line);
        } else {
            // Else only the banner, the open and close lines, and commands.
            EXPECT_TRUE(line.empty() || line[0] == '#' || line.rfind("INFO: Log file ", 0) == 0 ||
                        line.rfind("CONSOLE: rec.", 0) == 0)
                << "torn line: " << line;
        }
    }
    EXPECT_EQ(threadLines.size(), static_cast<std::size_t>(kThreads * kLines));

    // The pane shows the newest of them, each thread's in its order.
    std::vector<int> last(kThreads, -1);
    std::string newest;
    int shown = 0;
    for (const std::string& line : pane) {
        int t = -1, i = -1;
        if (!ThreadLine(line.substr(0, line.find_last_not_of(' ') + 1), t, i)) continue;
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        EXPECT_GT(i, last[t]) << "thread " << t << " out of order in the pane";
        last[t] = i;
        newest = line.substr(0, line.find_last_not_of(' ') + 1);
        ++shown;
    }
    EXPECT_GE(shown, 100);
    ASSERT_GE(threadLines.size(), 8u);
    const std::vector<std::string> tail(threadLines.end() - 8, threadLines.end());
    EXPECT_NE(std::find(tail.begin(), tail.end(), newest), tail.end())
        << "the pane ends with " << newest;
}

}  // namespace
