// The real console dialog run modally inside this process, on the demo engine,
// where the order of its messages must be controlled: a close that comes
// before the first paint, a first paint while the window is minimized, and
// the pane's trim by an empty line. A message hook of this thread sees each
// message the modal loop takes, before it is dispatched.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "app/VelmorApp.h"
#include "console/RunState.h"
#include "console/VelmorConsole.h"
#include "engine/PlatformRecordFill.h"
#include "log/Log.h"

namespace {

// The console made and run as start-up does, in a directory of its own, with
// the platform record filled and the engine not yet started.
class ConsoleRun : public testing::Test {
protected:
    void SetUp() override {
        m_home = std::filesystem::current_path();
        m_dir = std::filesystem::temp_directory_path() / ("console-run-" + std::to_string(::GetCurrentProcessId()));
        std::filesystem::create_directories(m_dir);
        std::filesystem::current_path(m_dir);
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
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
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
    static std::string FileText(const char* name) {
        std::ifstream file(name);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    static constexpr UINT kStart = WM_APP + 0x51;
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
    std::filesystem::path m_home, m_dir;
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
    const std::string text = FileText("before.log");
    EXPECT_EQ(text.find("Demo engine"), std::string::npos) << "the engine was started or stopped:\n" << text;
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
    const std::string text = FileText(kDefaultLogFileName);
    const std::size_t started = text.find("\nINIT: Demo engine started");
    const std::size_t ended = text.find("\nEXIT: Demo engine ended");
    EXPECT_NE(started, std::string::npos) << text;
    EXPECT_NE(ended, std::string::npos) << text;
    EXPECT_LT(started, ended);
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
