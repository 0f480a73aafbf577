// The Window menu's camera commands, and what the cameras need of the
// application.
#include "VelmorApp.h"
#include "camera/VelmorCamera.h"
#include "console/VelmorConsole.h"

HWND VelmorApp::CameraOwner() const { return m_pConsole ? m_pConsole->m_hWnd : nullptr; }

void VelmorApp::OnWindowNewCamera() {
    VelmorCamera::Create();  // the camera list holds the camera from now on
}

void VelmorApp::OnWindowCloseAllCameras() {
    // From the end: each deletion takes out its own entry, which is then the
    // last one, so the entries not yet visited keep their indexes.
    for (std::size_t i = m_cameras.GetSize(); i-- > 0;) {
        if (i >= m_cameras.GetSize()) continue;  // the list shrank by more than one
        if (VelmorCamera* camera = m_cameras.GetAt(i)) camera->Delete();
    }
}
