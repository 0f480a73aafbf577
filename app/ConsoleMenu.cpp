// The console menu's commands, handlers of the application object, and the
// refresh of the three menu items that follow the shell's state.
#include <windows.h>

#include "StatisticsBlock.h"
#include "VelmorApp.h"
#include "console/VelmorConsole.h"
#include "engine/vmserver.h"
#include "log/Log.h"
#include "resource.h"

namespace {

constexpr DWORD kHelpContextAbout = 200;
constexpr DWORD kHelpContextOrdering = 202;

HWND ConsoleWindow() { return theApp.m_pConsole ? theApp.m_pConsole->m_hWnd : nullptr; }

// Help requests are not reported when they fail (a missing help file).
void ShowHelp(UINT command, DWORD data) {
    ::WinHelpA(ConsoleWindow(), theApp.m_pszHelpFilePath, command, data);
}

}  // namespace

void VelmorApp::UpdateMenuState() {
    // The menu is looked up afresh for each change; it belongs to the window.
    ::EnableMenuItem(::GetMenu(ConsoleWindow()), ID_LOG_OPEN,
                     MF_BYCOMMAND | (PLATFORM.LogFile ? MF_GRAYED : MF_ENABLED));
    ::EnableMenuItem(::GetMenu(ConsoleWindow()), ID_LOG_CLOSE,
                     MF_BYCOMMAND | (PLATFORM.LogFile ? MF_ENABLED : MF_GRAYED));
    ::CheckMenuItem(::GetMenu(ConsoleWindow()), ID_WINDOW_ALWAYS_ON_TOP,
                    MF_BYCOMMAND | (m_bConsoleOnTop ? MF_CHECKED : MF_UNCHECKED));
}

void VelmorApp::OnFileExit() { m_pConsole->OnOK(); }

void VelmorApp::OnEditCopy() {
    if (m_pConsole->m_pFocusEdit) m_pConsole->m_pFocusEdit->Copy();
}

void VelmorApp::OnEditPaste() {
    if (m_pConsole->m_pFocusEdit) m_pConsole->m_pFocusEdit->Paste();
}

void VelmorApp::OnLogOpen() {
    PLATFORM.OpenLog(kDefaultLogFileName);
    UpdateMenuState();
}

void VelmorApp::OnLogClose() {
    PLATFORM.CloseLog();
    UpdateMenuState();
}

// The figures are taken once, then written: the block's own lines are not in it.
void VelmorApp::OnLogStatistics() {
    for (const std::string& line : StatisticsLines(stats::TakeSnapshot()))
        PLATFORM.Log(LogNumber(LogCategory::Info), line.c_str());
}

void VelmorApp::OnWindowAlwaysOnTop() {
    m_bConsoleOnTop = m_bConsoleOnTop ? 0 : 1;
    ::SetWindowPos(ConsoleWindow(), m_bConsoleOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE);
    UpdateMenuState();
}

void VelmorApp::OnHelpTopics() { ShowHelp(HELP_FINDER, 0); }

void VelmorApp::OnHelpAbout() { ShowHelp(HELP_CONTEXT, kHelpContextAbout); }

void VelmorApp::OnHelpOrdering() { ShowHelp(HELP_CONTEXT, kHelpContextOrdering); }

void VelmorApp::OnHelpOrderNow() {}

void VelmorApp::OnHelpWebSite() {}
