// The application object of the in-process camera tests, set up as start-up
// sets it for cameras: the module's resources (menu 132), the camera window
// class, and a stand-in console window that owns the cameras. Nothing else
// of start-up runs: no OLE start, no console dialog, no engine.
#include <gtest/gtest.h>

#include <windows.h>

#include "Window.h"
#include "app/VelmorApp.h"
#include "console/VelmorConsole.h"

VelmorApp theApp;

namespace {

class CameraAppEnvironment : public testing::Environment {
public:
    void SetUp() override {
        theApp.Start(::GetModuleHandleA(nullptr), const_cast<LPSTR>(""), SW_SHOWNORMAL);
        theApp.m_pszCameraClass = fw::RegisterWndClass(
            CS_OWNDC | CS_BYTEALIGNCLIENT, ::LoadCursorA(nullptr, IDC_CROSS), nullptr, nullptr);
        m_console = new VelmorConsole(nullptr);
        m_console->m_hWnd =
            ::CreateWindowExA(0, "STATIC", "Velmor Console", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600,
                              500, 300, 200, nullptr, nullptr, theApp.m_hInstance, nullptr);
        ASSERT_NE(m_console->m_hWnd, nullptr);
        theApp.m_pConsole = m_console;
    }
    void TearDown() override {
        theApp.m_pConsole = nullptr;
        delete m_console;  // destroys the stand-in window
    }

private:
    VelmorConsole* m_console = nullptr;
};

const auto* const environment = testing::AddGlobalTestEnvironment(new CameraAppEnvironment);

}  // namespace
