#include "VelmorConsole.h"

#include <optional>
#include <string>

#include "ConsoleHost.h"
#include "HistoryFile.h"
#include "OleApp.h"
#include "OutputView.h"
#include "RunState.h"
#include "WinApp.h"
#include "engine/EngineCalls.h"
#include "engine/vmserver.h"
#include "resource.h"

namespace {

constexpr char kWhiteSpace[] = " \t\n\v\f\r";

}  // namespace

const fw::MessageMapEntry VelmorConsole::messageEntries[] = {
    {WM_SYSCOMMAND, 0, 0, fw::On<&VelmorConsole::OnSysCommand>},
    {WM_PAINT, 0, 0, fw::On<&VelmorConsole::OnPaint>},
    {WM_QUERYDRAGICON, 0, 0, fw::On<&VelmorConsole::OnQueryDragIcon>},
    {WM_COMMAND, BN_CLICKED, IDC_EXECUTE, fw::On<&VelmorConsole::OnExecute>},
    {WM_COMMAND, EN_SETFOCUS, IDC_COMMAND_LINE, fw::On<&VelmorConsole::OnSetFocusCommandLine>},
    {WM_COMMAND, EN_SETFOCUS, IDC_OUTPUT, fw::On<&VelmorConsole::OnSetFocusOutput>},
    {WM_TIMER, 0, 0, fw::On<&VelmorConsole::OnTimer>},
    {kLogLinesWaitingMessage, 0, 0, fw::On<&VelmorConsole::OnLogLinesWaiting>},
    {WM_CONTEXTMENU, 0, 0, fw::On<&VelmorConsole::OnContextMenu>},
    {WM_INITMENUPOPUP, 0, 0, fw::On<&VelmorConsole::OnInitMenuPopup>},
    {WM_COMMAND, 0, ID_EDIT_FIND, fw::On<&VelmorConsole::OnEditFind>},
    {WM_COMMAND, 0, ID_EDIT_REPEAT, fw::On<&VelmorConsole::OnEditFindNext>},
    {WM_COMMAND, 0, ID_EDIT_FIND_PREVIOUS, fw::On<&VelmorConsole::OnEditFindPrevious>},
    {PaneFind::FindMessage(), 0, 0, fw::On<&VelmorConsole::OnFindMessage>},  // registered at start-up
};

const fw::MessageMap VelmorConsole::messageMap = {&fw::Dialog::messageMap, messageEntries};

const fw::MessageMap* VelmorConsole::GetMessageMap() const { return &messageMap; }

VelmorConsole::VelmorConsole(fw::Window* parent)
    : fw::Dialog(IDD_CONSOLE, parent),
      m_hIcon(::LoadIconA(fw::WinApp::Current()->m_hInstance, MAKEINTRESOURCEA(IDI_VELMOR))) {
    // The output pane's class, which the dialog template names. Should it
    // fail, the dialog cannot be made and DoModal returns at once.
    OutputView::RegisterClass(fw::WinApp::Current()->m_hInstance);
}

VelmorConsole::~VelmorConsole() { StopLogPane(); }

// Binds the two edit controls of the template to their members; exchanges no data.
void VelmorConsole::DoDataExchange() {
    m_CommandLine.m_hWnd = ::GetDlgItem(m_hWnd, IDC_COMMAND_LINE);
    m_Output.m_hWnd = ::GetDlgItem(m_hWnd, IDC_OUTPUT);
}

BOOL VelmorConsole::OnInitDialog() {
    DoDataExchange();

    if (HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE)) {  // borrowed
        char about[128] = {};
        ::LoadStringA(fw::WinApp::Current()->m_hInstance, IDS_ABOUTBOX, about, sizeof about);
        if (about[0]) {
            ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }

    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_history.Assign(ReadHistoryFile(kHistoryFileName));  // unsound lines are dropped
    m_hKeys = ::LoadAcceleratorsA(fw::WinApp::Current()->m_hInstance, MAKEINTRESOURCEA(IDR_CONSOLE_KEYS));

    m_hPublished.store(m_hWnd, std::memory_order_release);
    SetLogPane(this);  // on this thread: lines of other threads come through here
    m_bLogPane = true;
    g_runState.store(kRunConsoleOpen);
    return TRUE;  // the dialog manager gives the focus to the output pane
}

void VelmorConsole::OnSysCommand(UINT command, LPARAM) {
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        if (ConsoleHost* host = fw::WinApp::CurrentAs<ConsoleHost>()) host->OnHelpAbout();
    } else if (command == SC_CLOSE) {
        OnOK();
    } else {
        Default();
    }
}

void VelmorConsole::OnPaint() {
    if (::IsIconic(m_hWnd)) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(m_hWnd, &ps);
        ::SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        const int cx = ::GetSystemMetrics(SM_CXICON);
        const int cy = ::GetSystemMetrics(SM_CYICON);
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        const int w = client.right - client.left;
        const int h = client.bottom - client.top;
        ::DrawIcon(dc, (w - cx + 1) / 2, (h - cy + 1) / 2, m_hIcon);
        ::EndPaint(m_hWnd, &ps);
    } else {
        Default();
    }
    if (g_engineStarted == 0) StartEngine();
}

void VelmorConsole::StartEngine() {
    PLATFORM.OpenLog(kDefaultLogFileName);
    g_engineStarted = 1;  // before pInitAll: a paint during it must not start it again
    if (ConsoleHost* host = fw::WinApp::CurrentAs<ConsoleHost>()) host->UpdateMenuState();
    engine::InitAll(fw::WinApp::Current()->m_hInstance);
    g_runState.store(kRunEngineRunning);
    if (ConsoleHost* host = fw::WinApp::CurrentAs<ConsoleHost>()) host->OnEngineStarted();
}

// The engine may have opened or closed the log since the menu was last
// refreshed: once the engine runs, the items follow the shell's state
// whenever a menu opens.
void VelmorConsole::OnInitMenuPopup() {
    if (g_engineStarted == 0) return;
    if (ConsoleHost* host = fw::WinApp::CurrentAs<ConsoleHost>()) host->UpdateMenuState();
}

HCURSOR VelmorConsole::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void VelmorConsole::OnExecute() {
    std::string text = m_CommandLine.GetText();
    const std::size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string::npos) {
        text.clear();
    } else {
        text.erase(text.find_last_not_of(kWhiteSpace) + 1);
        text.erase(0, first);
    }
    m_history.Add(text);  // blank and repeated commands are not stored
    if (!text.empty()) {
        PLATFORM.Log(LogNumber(LogCategory::Console), text.c_str());
        engine::Process(text.c_str(), stats::CommandSource::Console);
    }
    m_CommandLine.SetText("");
}

bool VelmorConsole::PreTranslateMessage(MSG& msg) {
    // Only keys concern this; every other message (ticks, paints) goes by at
    // the cost of these two comparisons.
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    if (m_find.PreTranslateMessage(msg)) return true;
    if (msg.message == WM_KEYDOWN && msg.hwnd == m_CommandLine.m_hWnd &&
        (msg.wParam == VK_UP || msg.wParam == VK_DOWN)) {
        RecallCommand(msg.wParam == VK_UP);
        return true;
    }
    // The find keys act in the console, not in the Find dialog or a camera.
    return m_hKeys && (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && msg.hwnd &&
           (msg.hwnd == m_hWnd || ::IsChild(m_hWnd, msg.hwnd)) && ::TranslateAcceleratorA(m_hWnd, m_hKeys, &msg);
}

void VelmorConsole::RecallCommand(bool older) {
    const std::optional<std::string> text = older ? m_history.Previous(m_CommandLine.GetText()) : m_history.Next();
    if (!text) return;
    // Put in as if typed, so that the command line's limits hold; the caret
    // ends up after it.
    m_CommandLine.SetSel(0, -1);
    m_CommandLine.ReplaceSel(text->c_str(), false);
}

void VelmorConsole::SaveHistory() {
    if (!WriteHistoryFile(kHistoryFileName, m_history.Entries()))
        Logf(LogCategory::Info, "Command history could not be saved to %s", kHistoryFileName);
}

void VelmorConsole::OnSetFocusCommandLine() { m_pFocusEdit = &m_CommandLine; }

void VelmorConsole::OnSetFocusOutput() { m_pFocusEdit = &m_Output; }

void VelmorConsole::OnTimer(UINT) {
    engine::ServerTick();
    // The time till the next tick is the longest the thread will have: the
    // pane paints what the tick and the calls since the last one changed.
    if (m_Output.m_hWnd) ::SendMessageA(m_Output.m_hWnd, OutputView::kFlushMessage, 0, 0);
}

// Lines that the engine's own threads logged: shown here, on the pane's thread.
void VelmorConsole::OnLogLinesWaiting() { ShowWaitingLogLines(); }

void VelmorConsole::ShowLogLine(std::string_view line) { AppendOutput(line); }

void VelmorConsole::LinesWaiting() noexcept {
    if (HWND window = PublishedWindow())
        ::PostMessageA(window, kLogLinesWaitingMessage, 0, 0);  // never waits
}

void VelmorConsole::StopLogPane() {
    if (!m_bLogPane) return;
    SetLogPane(nullptr);
    m_bLogPane = false;
}

void VelmorConsole::AppendOutput(std::string_view text) {
    // The pane keeps at most 301 lines: past 300, the first 100 go.
    if (m_Output.GetLineCount() > 300) {
        m_Output.SetSel(0, m_Output.LineIndex(100));
        m_Output.ReplaceSel("", false);
    }
    if (text.empty()) return;
    const int end = m_Output.GetTextLength();
    m_Output.SetSel(end, end);
    std::string line;
    line.reserve(text.size() + 3);
    line.append("\r\n").append(text).append(" ");
    m_Output.ReplaceSel(line.c_str(), false);  // the pane scrolls the caret into view
}

void VelmorConsole::OnOK() {
    ConsoleHost* host = fw::WinApp::CurrentAs<ConsoleHost>();
    if (host && !host->OnConsoleClosing()) return;  // asked for again when it can go on
    fw::OleCanExitApp();  // asked, and the close goes on whatever the answer
    m_find.Close();
    SaveHistory();  // while the log is open to hear of a failure
    g_runState.store(kRunConsoleOpen);
    if (g_engineStarted == 1) engine::ExitAll();
    PLATFORM.CloseLog();
    g_runState.store(kRunStopped);
    StopLogPane();  // no line reaches the pane from here on
    // Every line logged before the close is shown before it: the pane
    // paints what it has not painted yet.
    ::RedrawWindow(m_Output.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    fw::Dialog::OnOK();
}

void VelmorConsole::PostNcDestroy() {
    // The controls went with the dialog: a line logged after the window is
    // gone (the exception path leaves the run state as it was and never runs
    // OnOK) must not reach a stale handle, nor a post a reused one.
    StopLogPane();
    m_hPublished.store(nullptr, std::memory_order_release);
    m_Output.m_hWnd = nullptr;
    m_CommandLine.m_hWnd = nullptr;
    m_pFocusEdit = nullptr;
}

void VelmorConsole::OnCancel() {
    // Escape and plain close requests leave the console open.
}
