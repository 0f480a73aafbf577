// The shell's application object. The whole working life of the process runs
// inside InitInstance: preparation, registration or OLE start, the platform
// record, and the console window's modal run paced by the frame timer.
#pragma once

#include <windows.h>

#include "WinApp.h"
#include "camera/CameraHost.h"
#include "camera/CameraList.h"
#include "console/ConsoleHost.h"
#include "remote/MetricsEndpoint.h"
#include "remote/RemoteConsole.h"

class VelmorConsole;

class VelmorApp : public fw::WinApp, public ConsoleHost, public CameraHost {
public:
    VelmorApp();
    ~VelmorApp() override;

    BOOL InitInstance() override;

    // Sets Open log, Close log and Always on top of the console menu from the
    // shell's state.
    void UpdateMenuState() override;
    // The remote console and the metrics endpoint run while the engine does.
    void OnEngineStarted() override;
    bool OnConsoleClosing() override;

    // What the cameras are made with and listed in (CameraCommands.cpp).
    const char* CameraClassName() const override { return m_pszCameraClass; }
    HWND CameraOwner() const override;
    CameraList& Cameras() override { return m_cameras; }

    // Console menu commands (the console passes on what it lacks).
    void OnFileExit();
    void OnEditCopy();
    void OnEditPaste();
    void OnLogOpen();
    void OnLogClose();
    void OnLogStatistics();
    void OnWindowNewCamera();
    void OnWindowCloseAllCameras();
    void OnWindowAlwaysOnTop();
    void OnHelpTopics() override;
    void OnHelpAbout() override;
    void OnHelpOrdering() override;
    void OnHelpOrderNow() override;
    void OnHelpWebSite() override;

    const char* m_pszCameraClass = nullptr;  // the framework owns the name
    CameraList m_cameras;
    VelmorConsole* m_pConsole = nullptr;     // created once, never freed
    BOOL m_bConsoleOnTop = 0;
    char m_szCmdLine[256] = {};              // upper-cased arguments, " -EDITOR" on an OLE start
    char m_szSettingsPath[256] = {};         // System\Velmor.ini of the start directory; "" if it does not fit
    remote::RemoteConsole m_remoteConsole;
    remote::MetricsEndpoint m_metrics;

protected:
    const fw::MessageMap* GetMessageMap() const override;

private:
    static const fw::MessageMapEntry messageEntries[];
    static const fw::MessageMap messageMap;
};

extern VelmorApp theApp;
