// The Window menu's camera commands.
#include "app/VelmorApp.h"

void VelmorApp::OnWindowNewCamera() {}

void VelmorApp::OnWindowCloseAllCameras() {}
