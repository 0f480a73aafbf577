// The remote console and the metrics endpoint run while the engine does:
// started once the engine has started, stopped when the close sequence
// begins, before the engine stops.
#include "VelmorApp.h"
#include "console/VelmorConsole.h"

void VelmorApp::OnEngineStarted() {
    m_remoteConsole.Start(m_szSettingsPath);
    m_metrics.Start(m_szSettingsPath);
}

bool VelmorApp::OnConsoleClosing() {
    m_metrics.Stop();
    // A remote command that runs the message loop inside the engine may have
    // brought the close here: the close comes again once it has returned.
    return m_remoteConsole.Stop([console = m_pConsole] { ::PostMessageA(console->m_hWnd, WM_COMMAND, IDOK, 0); });
}
