// The real console dialog run modally inside this process, on the recording
// engine, where the order of its messages must be controlled or where only
// the console and the engine take part: a close that comes before the first
// paint, a first paint while the window is minimized, later paints, commands
// typed and clicked, close requests that leave the console open, and the
// pane's trim by an empty line. A message hook of this thread sees each
// message the modal loop takes, before it is dispatched.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Journal.h"
#include "ScratchTree.h"
#include "ShellWindowFind.h"
#include "TextLines.h"
#include "app/VelmorApp.h"
#include "console/RunState.h"
#include "console/VelmorConsole.h"
#include "engine/PlatformRecordFill.h"
#include "log/Log.h"
#include "res/resource.h"

namespace {

// The recording engine's journal, one for the whole run of this executable:
// the engine opens it at its first call and keeps it open.
vt::Journal& EngineJournal() {
    static vt::Journal journal = [] {
        const std::string path = vt::ScratchDirectory("console-run-journal") + "\\engine.journal";
        ::SetEnvironmentVariableA("VELMOR_JOURNAL", path.c_str());
        return vt::Journal(path);
    }();
    return journal;
}

// The console made and run as start-up does, in a directory of its own, with
// the platform record filled and the engine not yet started.
class ConsoleRun : public testing::Test {
protected:
    void SetUp() override {
        m_journalStart = EngineJournal().Lines().size();
        m_home = std::filesystem::current_path();
        std::filesystem::current_path(vt::ScratchDirectory("console-run"));
        FillPlatformRecord({&Log, &EnableLog, &OpenLog, &CloseLog, g_logNames, kDefaultLogFileName}, "",
                           "Velmor.exe");
        g_engineStarted = 0;
        m_shownConsole = theApp.m_pConsole;
        theApp.m_pConsole = &console;
    }
    void TearDown() override {
        theApp.m_pConsole = m_shownConsole;
        if (PLATFORM.LogFile) CloseLog();
        std::filesystem::current_path(m_home);
    }

    // Runs the console until its close sequence ends it; `onMessage` sees
    // every message of this thread before the modal loop dispatches it. A
    // thread message posted first is the first one the loop takes, before
    // the window is shown or painted.
    void Run(std::function<void(MSG&)> onMessage) {
        s_onMessage = std::move(onMessage);
        ASSERT_TRUE(::PostThreadMessageA(::GetCurrentThreadId(), kStart, 0, 0));
        HHOOK hook = ::SetWindowsHookExA(WH_GETMESSAGE, &GetMessageHook, nullptr, ::GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
        m_result = console.DoModal();
        ::UnhookWindowsHookEx(hook);
        s_onMessage = nullptr;
    }
    // Runs the console, and once its first paint has started the engine,
    // takes `steps` in turn, each from a message of its own: what one step
    // posts (keys, close requests) is handled before the next begins. After
    // the last, the console closes as its close box closes it.
    void RunSteps(std::vector<std::function<void()>> steps) {
        std::size_t next = 0;
        bool painted = false;
        Run([&](MSG& msg) {
            if (msg.message == WM_PAINT && msg.hwnd == console.m_hWnd && !painted) {
                painted = true;
                ::PostThreadMessageA(::GetCurrentThreadId(), kStep, 0, 0);
            } else if (msg.message == kStep && next < steps.size()) {
                steps[next++]();
                ::PostThreadMessageA(::GetCurrentThreadId(), kStep, 0, 0);
            } else if (msg.message == kStep) {
                ::PostMessageA(console.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
        });
        EXPECT_EQ(next, steps.size()) << "the console closed before its steps were taken";
    }

    // The engine's calls since the case began.
    std::vector<std::string> EngineCalls(const std::string& prefix) const {
        const std::vector<std::string> lines = EngineJournal().Lines();
        std::vector<std::string> calls;
        for (std::size_t i = m_journalStart; i < lines.size(); ++i)
            if (lines[i].rfind(prefix, 0) == 0) calls.push_back(lines[i]);
        return calls;
    }
    HWND Control(int id) const { return ::GetDlgItem(console.m_hWnd, id); }
    std::string PaneText() const { return vt::WindowText(Control(IDC_OUTPUT)); }
    std::string CommandLineText() const { return vt::WindowText(Control(IDC_COMMAND_LINE)); }
    // Enter in the command line, through the modal loop as a key of the user.
    void Type(const std::string& text) const {
        ::SetWindowTextA(Control(IDC_COMMAND_LINE), text.c_str());
        ::PostMessageA(Control(IDC_COMMAND_LINE), WM_KEYDOWN, VK_RETURN, 0x001C0001);
        ::PostMessageA(Control(IDC_COMMAND_LINE), WM_KEYUP, VK_RETURN, 0xC01C0001);
    }
    static std::string FileText(const char* name) {
        std::ifstream file(name, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    static constexpr UINT kStart = WM_APP + 0x51;
    static constexpr UINT kStep = WM_APP + 0x52;
    VelmorConsole console{nullptr};
    INT_PTR m_result = 0;

private:
    static LRESULT CALLBACK GetMessageHook(int code, WPARAM removed, LPARAM message) {
        try {
            if (code == HC_ACTION && removed == PM_REMOVE && s_onMessage) s_onMessage(*reinterpret_cast<MSG*>(message));
        } catch (...) {
            ADD_FAILURE() << "the test's message hook threw";
        }
        return ::CallNextHookEx(nullptr, code, removed, message);
    }

    static inline std::function<void(MSG&)> s_onMessage;
    std::filesystem::path m_home;
    std::size_t m_journalStart = 0;
    VelmorConsole* m_shownConsole = nullptr;
};

TEST_F(ConsoleRun, CloseBeforeTheFirstPaintNeverStartsOrStopsTheEngine) {
    // A log open before the close catches what the engine would say; the
    // close sequence closes it.
    OpenLog("before.log");
    bool painted = false;
    Run([&](MSG& msg) {
        if (msg.message == kStart) ::PostMessageA(console.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (msg.message == WM_PAINT && msg.hwnd == console.m_hWnd) painted = true;
    });
    EXPECT_EQ(m_result, IDOK);
    EXPECT_FALSE(painted) << "the console painted before the close";
    EXPECT_EQ(g_engineStarted, 0);
    EXPECT_EQ(g_runState.load(), kRunStopped);
    EXPECT_TRUE(EngineCalls("p").empty()) << "the engine was started or stopped";
    const std::string text = FileText("before.log");
    EXPECT_NE(text.find("\nINFO: Log file closed, "), std::string::npos) << "the close did not close the log";
    EXPECT_FALSE(std::filesystem::exists(kDefaultLogFileName)) << "the first paint's log was opened";
}

TEST_F(ConsoleRun, FirstPaintWhileMinimizedStartsTheEngine) {
    // The window is minimized just before its first paint is dispatched; the
    // close is queued behind that paint.
    int paints = 0;
    bool iconicAtFirstPaint = false;
    Run([&](MSG& msg) {
        if (msg.message != WM_PAINT || msg.hwnd != console.m_hWnd || paints++ > 0) return;
        ::ShowWindow(console.m_hWnd, SW_MINIMIZE);
        iconicAtFirstPaint = ::IsIconic(console.m_hWnd) != FALSE;
        EXPECT_EQ(g_engineStarted, 0) << "the engine started before the first paint";
        ::PostMessageA(console.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    ASSERT_GT(paints, 0) << "the console never painted";
    EXPECT_TRUE(iconicAtFirstPaint);
    EXPECT_EQ(g_engineStarted, 1);
    EXPECT_EQ(EngineCalls("pInitAll").size(), 1u);
    ASSERT_FALSE(EngineCalls("p").empty());
    EXPECT_EQ(EngineCalls("p").back(), "pExitAll");
}

TEST_F(ConsoleRun, LaterPaintsDoNotStartTheEngineAgain) {
    RunSteps({
        [&] {
            ::RedrawWindow(console.m_hWnd, nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            ::ShowWindow(console.m_hWnd, SW_MINIMIZE);
            EXPECT_TRUE(::IsIconic(console.m_hWnd));
            ::RedrawWindow(console.m_hWnd, nullptr, nullptr, RDW_INTERNALPAINT);
        },
        [&] {
            ::ShowWindow(console.m_hWnd, SW_RESTORE);
            ::RedrawWindow(console.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        },
        [&] {
            EXPECT_EQ(EngineCalls("pInitAll").size(), 1u);
            const std::string pane = PaneText();
            EXPECT_EQ(pane.find("Log file open"), pane.rfind("Log file open")) << pane;
        },
    });
    EXPECT_EQ(EngineCalls("pInitAll").size(), 1u);
    EXPECT_EQ(vt::CountPrefix(vt::SplitCrLf(FileText(kDefaultLogFileName)), "INFO: Log file open, "), 1);
}

TEST_F(ConsoleRun, EscapeAndPlainCloseRequestsLeaveTheConsoleOpen) {
    RunSteps({
        [&] {
            for (int id : {IDC_OUTPUT, IDC_COMMAND_LINE}) {
                ::PostMessageA(Control(id), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                ::PostMessageA(Control(id), WM_KEYUP, VK_ESCAPE, 0xC0010001);
            }
            ::PostMessageA(console.m_hWnd, WM_CLOSE, 0, 0);
            ::PostMessageA(console.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        },
        [&] {
            EXPECT_TRUE(::IsWindowVisible(console.m_hWnd));
            EXPECT_TRUE(EngineCalls("pExitAll").empty());
            EXPECT_EQ(PaneText().find("Log file closed"), std::string::npos);
        },
    });
    EXPECT_EQ(EngineCalls("pExitAll").size(), 1u) << "the close box did not close the console";
}

TEST_F(ConsoleRun, CommandsAreTrimmedEchoedBeforeTheEngineRunsThemAndBlanksAreOnlyCleared) {
    std::string paneBefore;
    RunSteps({
        // The engine logs the command's text itself: its line must follow the echo.
        [&] { Type(" \t rec.log 5 two  words \t "); },
        [&] {
            EXPECT_EQ(CommandLineText(), "");
            EXPECT_NE(PaneText().find("\r\nCONSOLE: rec.log 5 two  words \r\nED: two  words "), std::string::npos)
                << PaneText();
            EXPECT_EQ(EngineCalls("edsrvProcess ").size(), 1u);
            paneBefore = PaneText();
            Type("   \t  ");  // Enter on blanks
        },
        [&] {
            EXPECT_EQ(CommandLineText(), "");
            // A click on "!" with blanks.
            ::SetWindowTextA(Control(IDC_COMMAND_LINE), "  \t ");
            ::SendMessageA(Control(IDC_EXECUTE), BM_CLICK, 0, 0);
            EXPECT_EQ(CommandLineText(), "");
            // A click on "!" with a command.
            ::SetWindowTextA(Control(IDC_COMMAND_LINE), " rec.journal clicked ");
            ::SendMessageA(Control(IDC_EXECUTE), BM_CLICK, 0, 0);
            EXPECT_EQ(CommandLineText(), "");
            EXPECT_EQ(PaneText(), paneBefore + "\r\nCONSOLE: rec.journal clicked ");
        },
    });
    const std::vector<std::string> commands = EngineCalls("edsrvProcess ");
    ASSERT_EQ(commands.size(), 2u) << "blanks reached the engine";
    EXPECT_EQ(commands[0], "edsrvProcess 65535 0 \"rec.log 5 two  words\"");
    EXPECT_EQ(commands[1], "edsrvProcess 65535 0 \"rec.journal clicked\"");
    EXPECT_EQ(EngineCalls("note ").size(), 1u);

    const std::vector<std::string> lines = vt::SplitCrLf(FileText(kDefaultLogFileName));
    const int echo = vt::IndexOf(lines, "CONSOLE: rec.log 5 two  words");
    ASSERT_NE(echo, -1);
    ASSERT_LT(echo + 1, static_cast<int>(lines.size()));
    EXPECT_EQ(lines[echo + 1], "ED: two  words");
}

TEST_F(ConsoleRun, AnEmptyLineAddsNothingButStillTrimsAPaneOfMoreThan300Lines) {
    int lines300 = 0, lines301 = 0, afterTrim = 0, afterSecond = 0;
    std::string firstAfterTrim;
    Run([&](MSG& msg) {
        if (msg.message != kStart) return;
        const HWND pane = console.m_Output.m_hWnd;
        const auto count = [pane] { return static_cast<int>(::SendMessageA(pane, EM_GETLINECOUNT, 0, 0)); };
        for (int i = 1; i <= 299; ++i) console.AppendOutput("line " + std::to_string(i));
        console.AppendOutput("");
        lines300 = count();
        console.AppendOutput("line 300");
        lines301 = count();
        console.AppendOutput("");
        afterTrim = count();
        char first[32] = {};
        *reinterpret_cast<WORD*>(first) = sizeof first - 1;
        first[::SendMessageA(pane, EM_GETLINE, 0, reinterpret_cast<LPARAM>(first))] = '\0';
        firstAfterTrim = first;
        console.AppendOutput("");
        afterSecond = count();
        console.OnOK();
    });
    EXPECT_EQ(lines300, 300) << "an empty line at 300 lines added or cut something";
    EXPECT_EQ(lines301, 301);
    EXPECT_EQ(afterTrim, 201) << "the empty line did not trim the pane by 100 lines, or added one";
    EXPECT_EQ(firstAfterTrim, "line 100 ");
    EXPECT_EQ(afterSecond, 201);
}

}  // namespace
