// The log's pane registration inside this process: which lines reach a
// registered pane, on which thread, and that a failing pane never lets an
// exception out of the log routines the engine calls. And the frame timer's
// own lines, from its real code with the system's multimedia timer.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/FrameTimer.h"
#include "log/Log.h"

namespace {

constexpr char kLogName[] = "LogPaneTest.log";

class RecordingPane : public LogPane {
public:
    void ShowLogLine(std::string_view line) override {
        if (throwing) throw std::bad_alloc();
        lines.emplace_back(line);
    }
    void LinesWaiting() noexcept override { ++wakes; }

    bool throwing = false;
    std::vector<std::string> lines;
    int wakes = 0;
};

// Each case logs into a fresh file and takes the pane off at the end.
class LogPaneTest : public testing::Test {
protected:
    void SetUp() override { OpenLog(kLogName); }
    void TearDown() override {
        SetLogPane(nullptr);
        if (PLATFORM.LogFile) CloseLog();
        std::remove(kLogName);
    }
    static void LogOnOtherThread(const char* text) {
        std::thread([text] { Log(LogCategory::Info, text); }).join();
    }
    // The file's text so far; closes the log.
    static std::string FileText() {
        CloseLog();
        std::ifstream file(kLogName);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
};

TEST_F(LogPaneTest, LinesOfOtherThreadsWaitForThePaneThreadInOrder) {
    RecordingPane pane;
    SetLogPane(&pane);
    LogOnOtherThread("first");
    LogOnOtherThread("second");
    EXPECT_TRUE(pane.lines.empty()) << "shown on a thread other than the pane's";
    EXPECT_EQ(pane.wakes, 1) << "the pane is told once per queue, not per line";

    Log(LogCategory::Critical, "third");  // the waiting lines go first
    EXPECT_EQ(pane.lines,
              (std::vector<std::string>{"INFO: first", "INFO: second", "CRITICAL: third"}));

    LogOnOtherThread("fourth");
    EXPECT_EQ(pane.wakes, 2);
    ShowWaitingLogLines();
    ASSERT_EQ(pane.lines.size(), 4u);
    EXPECT_EQ(pane.lines.back(), "INFO: fourth");
}

TEST_F(LogPaneTest, NoLineReachesAPaneOnceItIsTakenOff) {
    RecordingPane pane;
    SetLogPane(&pane);
    LogOnOtherThread("waiting when the pane goes");
    SetLogPane(nullptr);
    Log(LogCategory::Info, "after, here");
    LogOnOtherThread("after, elsewhere");
    ShowWaitingLogLines();
    EXPECT_TRUE(pane.lines.empty());
    EXPECT_EQ(pane.wakes, 1);
    const std::string text = FileText();
    EXPECT_NE(text.find("INFO: waiting when the pane goes\n"), std::string::npos) << text;
    EXPECT_NE(text.find("INFO: after, here\n"), std::string::npos) << text;
    EXPECT_NE(text.find("INFO: after, elsewhere\n"), std::string::npos) << text;
}

// The engine calls Log through the record: an exception there would end the
// process. The line still reaches the file.
TEST_F(LogPaneTest, APaneThatThrowsLeavesTheLineInTheFile) {
    RecordingPane pane;
    pane.throwing = true;
    SetLogPane(&pane);
    Log(LogCategory::Console, "despite the pane");
    EXPECT_NE(FileText().find("CONSOLE: despite the pane\n"), std::string::npos);
}

// Start-up starts the timer before the console registers its pane: the start
// line is logged (here a log file is open to catch it) and reaches no pane.
TEST_F(LogPaneTest, FrameTimerStartLineIsLoggedBeforeAnyPaneAndASecondEnableOnlySaysSo) {
    timerInit(35);
    RecordingPane pane;
    SetLogPane(&pane);
    timerEnable();
    timerExit();  // the running timer stops without a word
    EXPECT_EQ(pane.lines, (std::vector<std::string>{"INFO: timerEnable: Already enabled"}));
    const std::string text = FileText();
    EXPECT_NE(text.find("\nINIT: Timer initialized, 35 fps\nINFO: timerEnable: Already enabled\n"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("timerDisable"), std::string::npos) << "the second enable lost the running timer";
}

// A period of 0 ms (a rate above 1000 a second) is one the system refuses:
// nothing is said then, and the exit finds no timer to stop.
TEST_F(LogPaneTest, FrameTimerTheSystemRefusesIsOnlyNoticedAtExit) {
    RecordingPane pane;
    SetLogPane(&pane);
    timerInit(2000);
    EXPECT_EQ(pane.lines, (std::vector<std::string>{"INIT: Timer initialized, 2000 fps"}));
    timerExit();
    EXPECT_EQ(pane.lines, (std::vector<std::string>{"INIT: Timer initialized, 2000 fps",
                                                    "INFO: timerDisable: Not enabled"}));
}

}  // namespace
