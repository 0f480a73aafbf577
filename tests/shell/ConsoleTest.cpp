// The console window of the real executable: a command typed and echoed,
// the pane and its bound, the first paint and the log it opens, the About
// item of the system menu, the help requests of the console's and a camera's
// Help menu and the topics they open in the real help viewer. What only
// needs the console and an engine (the first and later paints, blanks, the
// "!" button, Escape and close requests) runs inside the test's own process:
// tests/console/ConsoleRunTest.cpp.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ShellProcess.h"
#include "ShellWindows.h"
#include "ShellTestSupport.h"
#include "res/resource.h"

namespace {

using namespace vt;

TEST(Console, TypedCommandIsTrimmedEchoedThenHandedToTheEngine) {
    ScratchTree tree("console-typed");
    ShellProcess shell(tree);
    ASSERT_NE(shell.Console(), nullptr);
    ASSERT_TRUE(shell.WaitEngineStarted());

    shell.Command("  spawn   two ogres \t");

    EXPECT_TRUE(shell.EngineJournal().Contains("edsrvProcess 65535 0 \"spawn   two ogres\""));
    EXPECT_NE(shell.PaneText().find("\r\nCONSOLE: spawn   two ogres "), std::string::npos);
    EXPECT_EQ(shell.CommandLineText(), "");
    ASSERT_TRUE(shell.Close());
    EXPECT_NE(tree.Read("System\\Velmor.log").find("CONSOLE: spawn   two ogres\r\n"),
              std::string::npos);
}

// What AppendOutput does to the line count, one line per call.
int AfterAppend(int lines) { return (lines > 300 ? lines - 100 : lines) + 1; }

// Pane lines of the form "INFO: <i> xxx... " with their numbers.
std::vector<int> NumberedLines(const std::vector<std::string>& lines, std::size_t length) {
    std::vector<int> numbers;
    for (const std::string& line : lines) {
        if (line.rfind("INFO: ", 0) != 0 || line.size() < 7 || line[6] < '0' || line[6] > '9')
            continue;
        if (line.size() != length || line.back() != ' ') return {};  // a cut or odd line
        numbers.push_back(std::stoi(line.substr(6)));
    }
    return numbers;
}

bool Consecutive(const std::vector<int>& numbers, int last) {
    if (numbers.empty() || numbers.back() != last) return false;
    for (std::size_t i = 1; i < numbers.size(); ++i)
        if (numbers[i] != numbers[i - 1] + 1) return false;
    return true;
}

TEST(Console, PaneKeepsAtMost301LinesTrimming100AtATime) {
    ScratchTree tree("console-pane");
    ShellProcess shell(tree);
    ASSERT_TRUE(shell.WaitEngineStarted());
    HWND pane = shell.Control(IDC_OUTPUT);

    // The first message: an empty first line, then the line and one blank.
    std::string text = shell.PaneText();
    ASSERT_EQ(text.rfind("\r\nINFO: Log file open, ", 0), 0u) << text;
    EXPECT_EQ(text.find("\r\n", 2), std::string::npos);
    EXPECT_EQ(text.back(), ' ');
    EXPECT_EQ(LineCount(pane), 2);

    // 2 + echo + 297 + the sync's echo = 301 lines: not yet trimmed.
    shell.Command("rec.logrepeat 1 297 20");
    Sync(shell, "at-301");
    auto lines = SplitCrLf(shell.PaneText());
    EXPECT_EQ(LineCount(pane), 301);
    ASSERT_EQ(lines.size(), 301u);
    EXPECT_EQ(lines[0], "");

    // One more line: the first 100 lines go, then the line comes.
    Sync(shell, "one-more");
    lines = SplitCrLf(shell.PaneText());
    EXPECT_EQ(LineCount(pane), 202);
    ASSERT_EQ(lines.size(), 202u);
    EXPECT_EQ(lines.front(), "INFO: 97 xxxxxxxxxxxxxxxxx ");  // line 100 before
    EXPECT_EQ(lines.back(), "CONSOLE: rec.journal one-more ");

    // A burst of 1000 lines never takes the pane past the bound.
    int expected = AfterAppend(202);  // the echo
    for (int i = 0; i < 1000; ++i) expected = AfterAppend(expected);
    expected = AfterAppend(expected);  // the sync's echo
    shell.Command("rec.logrepeat 1 1000 20");
    Sync(shell, "after-burst");
    lines = SplitCrLf(shell.PaneText());
    EXPECT_EQ(LineCount(pane), expected);
    EXPECT_LE(expected, 301);
    EXPECT_EQ(static_cast<int>(lines.size()), expected);
    EXPECT_TRUE(Consecutive(NumberedLines(lines, 6 + 20 + 1), 999));

    // The pane has scrolled with the caret: the newest line is in view.
    const int first = static_cast<int>(::SendMessageA(pane, EM_GETFIRSTVISIBLELINE, 0, 0));
    RECT client{};
    ::GetClientRect(pane, &client);
    const LRESULT lastChar = ::SendMessageA(pane, EM_LINEINDEX, expected - 1, 0);
    const LRESULT where = ::SendMessageA(pane, EM_POSFROMCHAR, lastChar, 0);
    const int y = static_cast<short>(HIWORD(where));
    EXPECT_GT(first, 0);
    EXPECT_GE(y, 0) << "first visible line " << first;
    EXPECT_LT(y, client.bottom) << "first visible line " << first;
    ASSERT_TRUE(shell.Close());
}

// The state of menu item `id` of the console as "rec.window" journaled it
// from inside the shell; -1 if it was not journaled.
long MenuState(Journal& journal, int id) {
    const std::string key = " id=" + std::to_string(id) + " ";
    for (const std::string& line : journal.Matching("menu ")) {
        const std::size_t state = line.find(" state=0x");
        if (line.find(key) != std::string::npos && state != std::string::npos)
            return std::stol(line.substr(state + 9), nullptr, 16);
    }
    return -1;
}

TEST(Console, FirstPaintOpensTheLogAndSetsTheLogMenuBeforeTheEngineStarts) {
    ScratchTree tree("console-first-paint");
    tree.Write("System\\recorder.cmds", "rec.window\nrec.dump record.bin\nrec.journal seen\n");
    ShellProcess shell(tree);
    ASSERT_TRUE(shell.EngineJournal().WaitFor("note seen"));
    Journal& journal = shell.EngineJournal();
    ASSERT_NE(MenuState(journal, ID_LOG_OPEN), -1) << "the menu was not journaled";
    EXPECT_EQ(MenuState(journal, ID_LOG_OPEN) & MF_GRAYED, MF_GRAYED);
    EXPECT_EQ(MenuState(journal, ID_LOG_CLOSE), 0);
    EXPECT_EQ(MenuState(journal, ID_WINDOW_ALWAYS_ON_TOP) & MF_CHECKED, 0);
    const RecordDump dump(tree.Read("System\\record.bin"));
    ASSERT_TRUE(dump.Complete());
    EXPECT_NE(dump.Pointer(record::kLogFile), 0u);
    ASSERT_TRUE(shell.Close());
}

TEST(Console, FirstPaintWhoseLogCannotOpenStartsTheEngineAllTheSame) {
    // A directory where the log file would go: the open fails.
    ScratchTree tree("console-log-blocked");
    ASSERT_TRUE(::CreateDirectoryA(tree.Path("System\\Velmor.log").c_str(), nullptr));
    tree.Write("System\\recorder.cmds", "rec.window\nrec.dump record.bin\nrec.journal seen\n");
    ShellProcess shell(tree);
    ASSERT_TRUE(shell.EngineJournal().WaitFor("note seen"));
    Journal& journal = shell.EngineJournal();
    ASSERT_NE(MenuState(journal, ID_LOG_CLOSE), -1) << "the menu was not journaled";
    EXPECT_EQ(MenuState(journal, ID_LOG_OPEN), 0);
    EXPECT_EQ(MenuState(journal, ID_LOG_CLOSE) & MF_GRAYED, MF_GRAYED);
    const RecordDump dump(tree.Read("System\\record.bin"));
    ASSERT_TRUE(dump.Complete());
    EXPECT_EQ(dump.Pointer(record::kLogFile), 0u);
    EXPECT_EQ(dump.Field(record::kLogFileName), "Velmor.log");

    EXPECT_EQ(shell.PaneText(), "\r\nINFO: Failed to open log ");
    EXPECT_TRUE(journal.WaitForCount("pServerTick", 3)) << "the engine does not run";
    ASSERT_TRUE(shell.Close());
    EXPECT_EQ(journal.Lines().back(), "pExitAll");
}

// Ends, by their process ids, the help viewers that a test made the shell start.
class HelpViewers {
public:
    explicit HelpViewers(DWORD shellId) : m_shellId(shellId) {}
    ~HelpViewers() { End(); }
    const std::vector<DWORD>& Find() { return m_ids = ChildProcesses(m_shellId, "winhlp32.exe"); }
    void End() {
        for (DWORD id : m_ids) {
            if (HANDLE viewer = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
                ::TerminateProcess(viewer, 1);
                ::WaitForSingleObject(viewer, 10000);
                ::CloseHandle(viewer);
            }
        }
        m_ids.clear();
    }

private:
    DWORD m_shellId;
    std::vector<DWORD> m_ids;
};

BOOL CALLBACK AddChildText(HWND child, LPARAM texts) {
    if (::IsWindowVisible(child))
        reinterpret_cast<std::vector<std::string>*>(texts)->push_back(WindowText(child));
    return TRUE;
}

// What the help viewer shows: the texts of its visible windows and of their
// children, among them the text control that holds the topic.
std::vector<std::string> ViewerTexts(DWORD viewer) {
    std::vector<std::string> texts;
    for (HWND window : TopLevelWindows(viewer)) {
        if (!::IsWindowVisible(window)) continue;
        texts.push_back(WindowText(window));
        ::EnumChildWindows(window, &AddChildText, reinterpret_cast<LPARAM>(&texts));
    }
    return texts;
}

// True when one of the texts starts with the line `title`: a topic starts
// with its title, where links to other topics come later.
bool ShowsTopic(const std::vector<std::string>& texts, const std::string& title) {
    for (const std::string& text : texts)
        if (text.compare(0, title.size(), title) == 0 && text.size() > title.size() &&
            (text[title.size()] == '\r' || text[title.size()] == '\n'))
            return true;
    return false;
}

// A visible message box or dialog of the process other than `except`, if
// any: its text.
std::string ErrorBox(DWORD pid, HWND except = nullptr) {
    for (HWND window : TopLevelWindows(pid)) {
        char name[16] = {};
        ::GetClassNameA(window, name, sizeof name);
        if (window != except && std::string(name) == "#32770" && ::IsWindowVisible(window)) {
            std::string text = WindowText(window);
            for (HWND child = ::GetWindow(window, GW_CHILD); child;
                 child = ::GetWindow(child, GW_HWNDNEXT))
                text += " | " + WindowText(child);
            return text;
        }
    }
    return "";
}

// Does `action`, then waits for the help viewer that the shell starts (the tree
// holds the built help file) and for `title`, the topic's, among what it
// shows; neither the viewer nor the shell may show an error box. The viewer
// is ended by its id afterwards, so that the next request starts a new one.
void ExpectHelpTopicOpens(ShellProcess& shell, const std::string& what, const std::string& title,
                          const std::function<void()>& action) {
    HelpViewers viewers(shell.Id());
    ASSERT_TRUE(viewers.Find().empty()) << what;
    action();
    ASSERT_TRUE(WaitUntil([&] { return !viewers.Find().empty(); }, std::chrono::seconds(30)))
        << what << ": no help viewer started";
    const DWORD viewer = viewers.Find().front();
    std::vector<std::string> shown;
    const bool found = WaitUntil(
        [&] {
            shown = ViewerTexts(viewer);
            return ShowsTopic(shown, title);
        },
        std::chrono::seconds(30));
    std::string all;
    for (const std::string& text : shown) all += "[" + text + "]\n";
    EXPECT_TRUE(found) << what << ": the viewer does not show the topic \"" << title << "\":\n"
                       << all;
    EXPECT_EQ(ErrorBox(viewer), "") << what;
    EXPECT_EQ(ErrorBox(shell.Id(), shell.Console()), "") << what;
    viewers.End();

    // The console lives on, the engine too, and no About dialog opened.
    Sync(shell, "after-" + std::to_string(::GetTickCount()));
    EXPECT_TRUE(::IsWindow(shell.Console())) << what;
    EXPECT_EQ(shell.EngineJournal().Count("pExitAll"), 0u) << what;
    for (HWND window : TopLevelWindows(shell.Id()))
        EXPECT_NE(WindowText(window), "About Velmor") << what << ": an About dialog opened";
}

// Opens the console's system menu as Alt+Space does and presses keys in it;
// the menu's own loop in the shell takes them from the thread's queue.
void KeysInSystemMenu(ShellProcess& shell, const std::vector<std::pair<UINT, WPARAM>>& keys) {
    HWND console = shell.Console();
    // The help viewer's message took the activation; without a window
    // manager it does not come back to the console by itself.
    ::SetForegroundWindow(console);
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == console; }));
    ::PostMessageA(console, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND window : TopLevelWindows(shell.Id())) {
            char name[16] = {};
            ::GetClassNameA(window, name, sizeof name);
            if (std::string(name) == "#32768" && ::IsWindowVisible(window)) return true;
        }
        return false;
    })) << "the system menu did not open";
    // Keys that come while the menu is still setting up its loop can be lost
    // under Wine; a pause before each one avoids that.
    for (const auto& [message, key] : keys) {
        ::Sleep(300);
        ::PostMessageA(console, message, key, 1);
    }
}

TEST(Console, AboutItemOfTheSystemMenuOpensTheAboutTopicAndNoDialog) {
    // A help viewer left running would take the request without a new start.
    ASSERT_EQ(::FindWindowA("MS_WINHELP", nullptr), nullptr) << "a help viewer is already running";
    ScratchTree tree("console-about");
    tree.AddHelp();
    ShellProcess shell(tree);
    ASSERT_TRUE(shell.WaitEngineStarted());

    // The command itself.
    ExpectHelpTopicOpens(shell, "system command", "About Velmor",
                         [&] { ::PostMessageA(shell.Console(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0); });
    // The last item of the system menu, chosen with End and Enter.
    ExpectHelpTopicOpens(shell, "system menu", "About Velmor", [&] {
        KeysInSystemMenu(shell, {{WM_KEYDOWN, VK_END}, {WM_KEYDOWN, VK_RETURN}});
    });

    ASSERT_TRUE(shell.Close());
}

// The real viewer on the built help file: each Help item of the console and
// a camera's About open their topic.
TEST(Console, HelpItemsOpenTheirTopicsInTheHelpViewer) {
    ASSERT_EQ(::FindWindowA("MS_WINHELP", nullptr), nullptr) << "a help viewer is already running";
    ScratchTree tree("console-help-viewer");
    tree.AddHelp();
    ShellProcess shell(tree);
    ASSERT_TRUE(shell.WaitEngineStarted());
    HWND console = shell.Console();
    const auto choose = [](HWND window, UINT item) {
        return [=] { ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(item, 0), 0); };
    };

    ExpectHelpTopicOpens(shell, "Help topics", "Velmor Help", choose(console, ID_HELP_TOPICS));
    ExpectHelpTopicOpens(shell, "About", "About Velmor", choose(console, ID_HELP_ABOUT));
    ExpectHelpTopicOpens(shell, "Ordering", "Ordering Velmor", choose(console, ID_HELP_ORDERING));

    HWND camera = vt::NewCamera(shell);
    ASSERT_NE(camera, nullptr) << "no camera opened";
    ExpectHelpTopicOpens(shell, "camera's About", "About Velmor", choose(camera, ID_HELP_ABOUT));

    ASSERT_TRUE(shell.Close());
}

// Stands in for the help viewer. WinHelp hands its request to a running
// viewer, found by its window class, in a WM_COPYDATA whose wParam is the
// window that asks; this one records them. Its window belongs to this thread,
// so waiting for a request pumps messages.
class HelpViewerStandIn {
public:
    struct Request {
        HWND owner;
        UINT command;
        LONG data;
        std::string file;
    };

    HelpViewerStandIn() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = kClass;
        m_registered = ::RegisterClassA(&wc) != 0;
        m_window = ::CreateWindowExA(0, kClass, "help stand-in", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                     nullptr, wc.hInstance, nullptr);
        if (m_window) ::SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~HelpViewerStandIn() {
        if (m_window) ::DestroyWindow(m_window);
        if (m_registered) ::UnregisterClassA(kClass, ::GetModuleHandleA(nullptr));
    }
    HelpViewerStandIn(const HelpViewerStandIn&) = delete;
    HelpViewerStandIn& operator=(const HelpViewerStandIn&) = delete;

    bool Ready() const { return m_window != nullptr; }
    // Pumps until `count` requests have come; false after ten seconds.
    bool WaitFor(std::size_t count) {
        const DWORD start = ::GetTickCount();
        while (requests.size() < count) {
            const DWORD spent = ::GetTickCount() - start;
            if (spent >= 10000) return false;
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10000 - spent, QS_ALLINPUT);
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
        }
        return true;
    }

    std::vector<Request> requests;

private:
    static constexpr char kClass[] = "MS_WINHELP";

    // The request as WinHelp packs it: size, command, data, a reserved word,
    // and the offset of the file name, which follows the header.
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        try {
            auto* self = reinterpret_cast<HelpViewerStandIn*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
            if (message != WM_COPYDATA || !self) return ::DefWindowProcA(hwnd, message, wParam, lParam);
            const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            const auto* bytes = static_cast<const unsigned char*>(copy->lpData);
            if (copy->cbData < 16) return FALSE;
            WORD command = 0, fileAt = 0;
            LONG data = 0;
            std::memcpy(&command, bytes + 2, sizeof command);
            std::memcpy(&data, bytes + 4, sizeof data);
            std::memcpy(&fileAt, bytes + 12, sizeof fileAt);
            std::string file;
            for (DWORD i = fileAt; fileAt && i < copy->cbData && bytes[i]; ++i) file += static_cast<char>(bytes[i]);
            self->requests.push_back({reinterpret_cast<HWND>(wParam), command, data, file});
            return TRUE;
        } catch (...) {
            return FALSE;
        }
    }

    bool m_registered = false;
    HWND m_window = nullptr;
};

TEST(Console, HelpItemsOfTheConsoleAndOfACameraAskForTheirTopicsOwnedByTheConsole) {
    ASSERT_EQ(::FindWindowA("MS_WINHELP", nullptr), nullptr) << "a help viewer is already running";
    HelpViewerStandIn viewer;
    ASSERT_TRUE(viewer.Ready());
    ScratchTree tree("console-help");
    ShellProcess shell(tree);
    ASSERT_TRUE(shell.WaitEngineStarted());
    HWND console = shell.Console();
    HWND camera = vt::NewCamera(shell);
    ASSERT_NE(camera, nullptr) << "no camera opened";

    struct Topic {
        UINT item;
        UINT command;
        LONG data;
    };
    const Topic topics[] = {{ID_HELP_TOPICS, HELP_FINDER, 0}, {ID_HELP_ABOUT, HELP_CONTEXT, 200},
                            {ID_HELP_ORDERING, HELP_CONTEXT, 202}};
    for (HWND from : {console, camera}) {
        const std::string source = from == console ? "console" : "camera";
        for (const Topic& topic : topics) {
            // Order Now and the web site item first: they ask for nothing, so
            // the next request is the topic's.
            ::PostMessageA(from, WM_COMMAND, MAKEWPARAM(ID_HELP_ORDER_NOW, 0), 0);
            ::PostMessageA(from, WM_COMMAND, MAKEWPARAM(ID_HELP_WEB_SITE, 0), 0);
            ::PostMessageA(from, WM_COMMAND, MAKEWPARAM(topic.item, 0), 0);
            const std::size_t before = viewer.requests.size();
            ASSERT_TRUE(viewer.WaitFor(before + 1)) << source << " item " << topic.item << " asked for no help";
            const auto& request = viewer.requests.back();
            EXPECT_EQ(request.owner, console) << source << " item " << topic.item;
            EXPECT_EQ(request.command, topic.command) << source << " item " << topic.item;
            EXPECT_EQ(request.data, topic.data) << source << " item " << topic.item;
            EXPECT_EQ(request.file, "..\\help\\velmor.hlp") << source << " item " << topic.item;
        }
    }
    Sync(shell, "help-asked");
    EXPECT_EQ(viewer.requests.size(), 6u) << "more help requests than items chosen";
    ASSERT_TRUE(shell.Close());
}

enum class CloseRoute { SystemClose, FileExit, Ok };

std::string RouteName(CloseRoute route) {
    switch (route) {
        case CloseRoute::SystemClose:
            return "SystemClose";
        case CloseRoute::FileExit:
            return "FileExit";
        default:
            return "Ok";
    }
}

void PrintTo(CloseRoute route, std::ostream* out) { *out << RouteName(route); }

class CloseSequence : public ::testing::TestWithParam<CloseRoute> {};

TEST_P(CloseSequence, StopsTheEngineThenClosesTheLogThenEnds) {
    ScratchTree tree("console-close");
    tree.Write("System\\recorder.cmds", "rec.onexit rec.log 14 engine stopping\n");
    ShellProcess shell(tree);
    ASSERT_TRUE(shell.WaitEngineStarted());
    ASSERT_TRUE(shell.EngineJournal().WaitForCount("pServerTick", 3));
    HWND console = shell.Console();

    switch (GetParam()) {
        case CloseRoute::SystemClose:
            ::PostMessageA(console, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case CloseRoute::FileExit:
            ::PostMessageA(console, WM_COMMAND, MAKEWPARAM(ID_FILE_EXIT, 0), 0);
            break;
        case CloseRoute::Ok:
            ::PostMessageA(console, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            break;
    }
    ASSERT_TRUE(shell.WaitExit());
    EXPECT_NE(shell.ExitCode(), 99u);

    // pExitAll once, last; no tick after it.
    const auto journal = shell.EngineJournal().Lines();
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.back(), "pExitAll");
    EXPECT_EQ(shell.EngineJournal().Count("pExitAll"), 1u);

    // The engine's last words, then the log's closing line, last.
    const auto lines = FileLines(tree, "System\\Velmor.log");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "EXIT: engine stopping");
    EXPECT_EQ(lines.back().rfind("INFO: Log file closed, ", 0), 0u) << lines.back();
}

INSTANTIATE_TEST_SUITE_P(Routes, CloseSequence,
                         ::testing::Values(CloseRoute::SystemClose, CloseRoute::FileExit,
                                           CloseRoute::Ok),
                         [](const auto& info) { return RouteName(info.param); });

}  // namespace
