// OLE for the application: initialisation and the application lock, the count
// of live automation objects of the application.
#pragma once

namespace fw {

// Initialises OLE for the GUI thread; false on failure. OleTerm (called by
// WinApp::ExitInstance) revokes the running class factories and uninitialises.
bool OleInit();
void OleTerm();

void OleLockApp();
void OleUnlockApp();
// True when no automation object holds the application lock.
bool OleCanExitApp();
long OleLockCount();

}  // namespace fw
