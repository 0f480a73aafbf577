// The remote console runs while the engine does: started once the engine has
// started, stopped when the close sequence begins, before the engine stops.
#include "VelmorApp.h"

void VelmorApp::OnEngineStarted() { m_remoteConsole.Start(m_szSettingsPath); }

void VelmorApp::OnConsoleClosing() { m_remoteConsole.Stop(); }
