// The console's menu commands, chosen in the real shell as its menu sends
// them: the log file closed and opened again, always on top, copy and paste
// with the focus tracking, the items that do nothing, and the statistics the
// shell measured of what the test made it do.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Clipboard.h"
#include "OleShell.h"
#include "RconClient.h"
#include "ShellProcess.h"
#include "ShellWindows.h"
#include "TextLines.h"
#include "Wait.h"
#include "log/LogBanner.h"
#include "res/resource.h"

namespace {

using vt::ScratchTree;
using vt::ShellProcess;

bool Grayed(unsigned state) { return (state & MF_GRAYED) != 0; }
bool Enabled(unsigned state) { return (state & (MF_GRAYED | MF_DISABLED)) == 0; }
bool Checked(unsigned state) { return (state & MF_CHECKED) != 0; }

// The banner as the log file holds it, written in text mode.
std::string Banner() {
    std::string banner;
    for (const char* p = kLogBanner; *p; ++p)
        banner += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
    return banner;
}

// The log file's lines after the banner.
std::vector<std::string> LinesAfterBanner(const std::string& content) {
    std::vector<std::string> lines;
    if (content.compare(0, Banner().size(), Banner()) != 0) return {"<no banner>"};
    size_t at = Banner().size();
    while (at < content.size()) {
        size_t end = content.find("\r\n", at);
        if (end == std::string::npos) end = content.size();
        lines.push_back(content.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// The engine calls journaled so far, without the frame timer's ticks.
size_t EngineCalls(ShellProcess& shell) {
    size_t count = 0;
    for (const std::string& line : shell.EngineJournal().Lines())
        if (line.compare(0, 12, "pServerTick ") != 0) ++count;
    return count;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

class ConsoleMenu : public testing::Test {
protected:
    ConsoleMenu()
        : tree(std::string("menu-") +
               testing::UnitTest::GetInstance()->current_test_info()->name()),
          shell(tree) {}
    void SetUp() override {
        ASSERT_NE(shell.Console(), nullptr);
        ASSERT_TRUE(shell.WaitEngineStarted());
    }
    void TearDown() override { EXPECT_TRUE(shell.Close()); }

    // Drops down a menu of the menu bar by its mnemonic, as Alt and the key
    // do; its items as "rec.ontick rec.popup" journals them while it shows.
    std::vector<vt::MenuItem> OpenMenu(char mnemonic) {
        const std::size_t mark = shell.EngineJournal().Lines().size();
        ::PostMessageA(shell.Console(), WM_SYSCOMMAND, SC_KEYMENU, mnemonic);
        return vt::WaitForPopupMenu(shell, mark);
    }
    void CloseMenu(const std::vector<vt::MenuItem>& popup) {
        ::PostMessageA(shell.Console(), WM_CANCELMODE, 0, 0);
        if (popup.empty()) return;
        const HWND window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(popup.front().window));
        EXPECT_TRUE(vt::WaitUntil([&] { return !::IsWindowVisible(window); }));
    }
    static unsigned PopupState(const std::vector<vt::MenuItem>& popup, int id) {
        for (const vt::MenuItem& item : popup)
            if (item.id == id) return item.state;
        ADD_FAILURE() << "the menu shown lacks item " << id;
        return MF_GRAYED | MF_DISABLED;
    }

    ScratchTree tree;
    ShellProcess shell;
};

TEST_F(ConsoleMenu, CloseLogThenOpenLogStartsTheFileAnew) {
    HWND console = shell.Console();
    shell.Command("rec.log 1 first session");
    std::vector<vt::MenuItem> menus = vt::ReadMenus(shell);
    EXPECT_TRUE(Grayed(vt::ItemState(menus, console, ID_LOG_OPEN)));
    EXPECT_TRUE(Enabled(vt::ItemState(menus, console, ID_LOG_CLOSE)));

    shell.MenuCommand(ID_LOG_CLOSE);
    std::vector<std::string> lines = LinesAfterBanner(tree.Read("System\\Velmor.log"));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(StartsWith(lines.front(), "INFO: Log file open, "));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "INFO: first session"), lines.end());
    EXPECT_TRUE(StartsWith(lines.back(), "INFO: Log file closed, ")) << lines.back();

    menus = vt::ReadMenus(shell);
    EXPECT_TRUE(Enabled(vt::ItemState(menus, console, ID_LOG_OPEN)));
    EXPECT_TRUE(Grayed(vt::ItemState(menus, console, ID_LOG_CLOSE)));
    // Lines logged while the file is closed reach the pane only.
    EXPECT_NE(shell.PaneText().find("CONSOLE: rec.window "), std::string::npos);

    shell.MenuCommand(ID_LOG_OPEN);
    menus = vt::ReadMenus(shell);
    EXPECT_TRUE(Grayed(vt::ItemState(menus, console, ID_LOG_OPEN)));
    EXPECT_TRUE(Enabled(vt::ItemState(menus, console, ID_LOG_CLOSE)));

    // Closed again to read it: the new file holds the banner, its opening
    // line, the one command echoed since, and its closing line; nothing of
    // the first file.
    shell.MenuCommand(ID_LOG_CLOSE);
    lines = LinesAfterBanner(tree.Read("System\\Velmor.log"));
    ASSERT_EQ(lines.size(), 3u) << tree.Read("System\\Velmor.log");
    EXPECT_TRUE(StartsWith(lines[0], "INFO: Log file open, ")) << lines[0];
    EXPECT_EQ(lines[1], "CONSOLE: rec.window");
    EXPECT_TRUE(StartsWith(lines[2], "INFO: Log file closed, ")) << lines[2];

    // The engine opens and closes the log behind the menu's back: the Log
    // menu, opened as Alt+L opens it, still shows which item applies.
    shell.Command("rec.ontick rec.popup");
    shell.Command("rec.openlog Velmor.log");
    std::vector<vt::MenuItem> popup = OpenMenu('l');
    EXPECT_TRUE(Grayed(PopupState(popup, ID_LOG_OPEN)));
    EXPECT_TRUE(Enabled(PopupState(popup, ID_LOG_CLOSE)));
    CloseMenu(popup);
    shell.Command("rec.closelog");
    popup = OpenMenu('l');
    EXPECT_TRUE(Enabled(PopupState(popup, ID_LOG_OPEN)));
    EXPECT_TRUE(Grayed(PopupState(popup, ID_LOG_CLOSE)));
    CloseMenu(popup);
    shell.Command("rec.ontick off");
}

TEST_F(ConsoleMenu, AlwaysOnTopTwiceEntersAndLeavesTheTopmostBand) {
    HWND console = shell.Console();
    const RECT before = vt::WindowRect(console);
    EXPECT_FALSE(vt::IsTopmost(console));
    EXPECT_FALSE(Checked(vt::ItemState(vt::ReadMenus(shell), console, ID_WINDOW_ALWAYS_ON_TOP)));

    shell.MenuCommand(ID_WINDOW_ALWAYS_ON_TOP);
    EXPECT_TRUE(vt::IsTopmost(console));
    EXPECT_TRUE(Checked(vt::ItemState(vt::ReadMenus(shell), console, ID_WINDOW_ALWAYS_ON_TOP)));

    shell.MenuCommand(ID_WINDOW_ALWAYS_ON_TOP);
    EXPECT_FALSE(vt::IsTopmost(console));
    EXPECT_FALSE(Checked(vt::ItemState(vt::ReadMenus(shell), console, ID_WINDOW_ALWAYS_ON_TOP)));

    const RECT after = vt::WindowRect(console);
    EXPECT_TRUE(EqualRect(&before, &after)) << "the console moved or changed size";
}

TEST_F(ConsoleMenu, CopyTakesThePaneSelectionAfterTheFocusMovedToTheButton) {
    shell.Command("rec.log 1 copy me please");
    HWND pane = shell.Control(IDC_OUTPUT);
    HWND button = shell.Control(IDC_EXECUTE);

    ASSERT_TRUE(vt::ClickText(pane));
    const std::string wanted = "INFO: copy me please";
    const size_t at = shell.PaneText().find(wanted);
    ASSERT_NE(at, std::string::npos);
    ::SendMessageA(pane, EM_SETSEL, at, at + wanted.size());

    vt::Click(button);
    ASSERT_TRUE(vt::WaitForFocus(button));
    ASSERT_TRUE(vt::SetClipboardText("before the copy"));

    // Another program holds the clipboard when Copy comes and lets it go a
    // moment later, as clipboard viewers do: the copy still lands.
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::PostMessageA(shell.Console(), WM_COMMAND, ID_EDIT_COPY, 0);
    ::Sleep(100);
    ::CloseClipboard();
    EXPECT_TRUE(vt::WaitUntil([&] { return vt::ClipboardText() == wanted; })) << vt::ClipboardText();
}

TEST_F(ConsoleMenu, PasteGoesIntoTheCommandLineButNotIntoThePane) {
    ASSERT_TRUE(vt::SetClipboardText("pasted words"));
    HWND commandLine = shell.Control(IDC_COMMAND_LINE);
    HWND pane = shell.Control(IDC_OUTPUT);

    vt::Click(commandLine);
    ASSERT_TRUE(vt::WaitForFocus(commandLine));
    shell.MenuCommand(ID_EDIT_PASTE);
    EXPECT_EQ(shell.CommandLineText(), "pasted words");

    vt::Click(pane);
    ASSERT_TRUE(vt::WaitForFocus(pane));
    const std::string before = shell.PaneText();
    shell.MenuCommand(ID_EDIT_PASTE);
    EXPECT_EQ(shell.PaneText(), before);
    EXPECT_EQ(shell.CommandLineText(), "pasted words");
}

TEST_F(ConsoleMenu, GameItemsOrderNowAndWebSiteChangeNothing) {
    HWND console = shell.Console();
    const std::vector<vt::MenuItem> menusBefore = vt::MenuOf(vt::ReadMenus(shell), console);
    const std::string paneBefore = shell.PaneText();
    const size_t callsBefore = EngineCalls(shell);
    const RECT rectBefore = vt::WindowRect(console);

    // Begin game, Net game, Save game, Load game, Order Now, the web site,
    // and the id whose prompt has no menu item.
    for (UINT id : {32771u, 32772u, 32773u, 32774u, 32791u, 32792u, 32781u}) shell.MenuCommand(id);

    EXPECT_EQ(shell.PaneText(), paneBefore);
    EXPECT_EQ(EngineCalls(shell), callsBefore);
    const RECT rectAfter = vt::WindowRect(console);
    EXPECT_TRUE(EqualRect(&rectBefore, &rectAfter));
    EXPECT_TRUE(vt::CameraWindows(shell).empty());
    EXPECT_EQ(vt::TopLevelWindows(shell.Id(), "Velmor Console").size(), 1u);

    const std::vector<vt::MenuItem> menusAfter = vt::MenuOf(vt::ReadMenus(shell), console);
    ASSERT_EQ(menusAfter.size(), menusBefore.size());
    for (size_t i = 0; i < menusAfter.size(); ++i) {
        EXPECT_EQ(menusAfter[i].id, menusBefore[i].id);
        EXPECT_EQ(menusAfter[i].state, menusBefore[i].state) << menusAfter[i].text;
    }
    for (int id : {32771, 32772, 32773, 32774, 32791, 32792})
        EXPECT_TRUE(Enabled(vt::ItemState(menusAfter, console, id))) << id;
}

// The Statistics item, after commands from all three sources, property
// calls, a cut line and a command that holds the console 300 ms, with the
// engine taking 5 ms in every tick. The figures the block gives are checked
// against what the test did, against the log file itself, and against the
// metrics endpoint scraped right after the block.
TEST(ConsoleStatistics, TheBlockShowsTheTicksCommandsLogAndMemoryTheShellHad) {
    constexpr char kPassword[] = "Statistics-test-password";
    ScratchTree tree("menu-statistics");
    tree.Write("System\\Velmor.ini",
               std::string("[RemoteConsole]\r\nPassword=") + kPassword + "\r\nPort=0\r\n[Metrics]\r\nPort=0\r\n");
    tree.Write("System\\recorder.cmds", "rec.ontick rec.sleep 5\n");
    ASSERT_TRUE(vt::RegisterShell(tree));
    // Started as OLE starts it, so that it serves automation clients too.
    ShellProcess shell(vt::StartIn(tree, "-Embedding"));
    ASSERT_TRUE(shell.WaitEngineStarted());
    const std::uint16_t port = vt::ListeningPort(shell);
    ASSERT_NE(port, 0);
    const std::uint16_t metricsPort =
        vt::ListeningPort(shell, std::chrono::seconds(30), "INFO: Metrics endpoint listening on 127.0.0.1:");
    ASSERT_NE(metricsPort, 0);

    shell.Command("rec.log 1 " + std::string(300, 'x'));  // the echo and the line: both cut
    shell.Command("rec.sleep 300");
    for (const char* arguments : {"exec rec.journal from velmorctl", "set statistics test 1",
                                         "get statistics test"}) {
        const vt::ChildResult ctl = vt::RunChild("\"" + vt::VelmorctlPath() + "\" " + std::string(arguments), tree.Root(),
                                                 tree.Path("velmorctl"));
        ASSERT_TRUE(ctl.finished && ctl.exitCode == 0) << arguments << ": " << ctl.err;
    }
    {
        vt::RconClient client(port);
        ASSERT_TRUE(client.SignIn(kPassword));
        ASSERT_TRUE(client.Command("rec.journal from the remote console"));
    }
    // Ticks for a few seconds, then the figures.
    ::Sleep(4000);
    ASSERT_TRUE(shell.MenuCommand(ID_LOG_STATISTICS));
    const vt::MemorySample memory = shell.Memory();  // read from outside, a moment later
    const vt::ChildResult scrape =
        vt::RunHostCommand("curl -sf http://127.0.0.1:" + std::to_string(metricsPort) + "/metrics", "/",
                           std::string(VELMOR_SCRATCH_ROOT) + "/menu-statistics-scrape");
    ASSERT_TRUE(scrape.finished && scrape.exitCode == 0) << scrape.err;
    ASSERT_TRUE(shell.Close());

    const std::string log = tree.Read("System\\Velmor.log");
    const std::size_t blockAt = log.find("INFO: Statistics: ");
    ASSERT_NE(blockAt, std::string::npos) << log;
    const std::vector<std::string> block = vt::SplitCrLf(log.substr(blockAt));
    ASSERT_GE(block.size(), 6u);

    double up = 0, rate = 0, window = 0;
    unsigned long long ticks = 0;
    ASSERT_EQ(std::sscanf(block[0].c_str(), "INFO: Statistics: up %lf s, %llu ticks, %lf ticks per second over the last %lf s",
                          &up, &ticks, &rate, &window), 4) << block[0];
    EXPECT_GE(window, 4.0);
    EXPECT_NEAR(rate, 1000.0 / 28, 1.5) << block[0];
    EXPECT_GT(ticks, 100u);
    EXPECT_GT(up, window);

    // Lateness: the console held for 300 ms made the ticks due meanwhile wait.
    double p50 = 0, p99 = 0, max = 0;
    ASSERT_EQ(std::sscanf(block[1].c_str(), "INFO: Tick lateness: p50 %lf ms, p99 %lf ms, max %lf ms", &p50, &p99, &max), 3)
        << block[1];
    EXPECT_LT(p50, 10.0) << block[1];
    EXPECT_LE(p50, p99);
    EXPECT_GE(max, 200.0) << block[1];
    EXPECT_LT(max, 2000.0) << block[1];
    // The engine's time in a tick: the 5 ms it sleeps there.
    ASSERT_EQ(std::sscanf(block[2].c_str(), "INFO: Engine time per tick: p50 %lf ms, p99 %lf ms, max %lf ms", &p50, &p99, &max), 3)
        << block[2];
    EXPECT_GE(p50, 4.5) << block[2];
    EXPECT_LE(p99, max);
    EXPECT_LT(p50, 20.0) << block[2];

    // Typed into the console: the two commands above, nothing else.
    EXPECT_EQ(block[3], "INFO: Commands: console 2, automation 1, remote 1; property requests 1, property data 1");
    // The endpoint, a moment later, gives the same counts.
    for (const char* series : {"velmor_commands_total{source=\"console\"} 2\n",
                               "velmor_commands_total{source=\"automation\"} 1\n",
                               "velmor_commands_total{source=\"remote\"} 1\n", "velmor_property_requests_total 1\n",
                               "velmor_property_data_total 1\n", "velmor_log_lines_cut_total 2\n"})
        EXPECT_NE(scrape.out.find(std::string("\n") + series), std::string::npos) << series << scrape.out;

    // The log: the two cut lines, and every byte of the file before the block.
    unsigned long long lines = 0, cut = 0, bytes = 0;
    ASSERT_EQ(std::sscanf(block[4].c_str(), "INFO: Log: %llu lines, %llu cut at 255 characters; %llu bytes written",
                          &lines, &cut, &bytes), 3) << block[4];
    EXPECT_EQ(cut, 2u);
    EXPECT_EQ(bytes, blockAt);
    // Every line of the file but the banner's five, and the frame timer's
    // start line, logged before there was a file.
    EXPECT_EQ(lines, vt::SplitCrLf(log.substr(0, blockAt)).size() - 5 + 1);

    // Memory as the test reads it from outside (Wine counts no handles nor
    // window objects: those are not compared).
    double privateMiB = 0, workingMiB = 0;
    ASSERT_EQ(std::sscanf(block[5].c_str(), "INFO: Memory: private %lf MiB, working set %lf MiB;", &privateMiB,
                          &workingMiB), 2) << block[5];
    ASSERT_TRUE(memory.valid);
    EXPECT_NEAR(privateMiB, memory.privateKiB / 1024, memory.privateKiB / 1024 * 0.2) << block[5];
    EXPECT_NEAR(workingMiB, memory.workingSetKiB / 1024, memory.workingSetKiB / 1024 * 0.2) << block[5];
}

}  // namespace
