// What a camera needs of the application that makes it. The application
// object implements it; a camera finds it through fw::WinApp::CurrentAs.
#pragma once

#include <windows.h>

#include "camera/CameraList.h"

class CameraHost {
public:
    virtual const char* CameraClassName() const = 0;  // the camera window class
    virtual HWND CameraOwner() const = 0;             // the console window, if any
    virtual CameraList& Cameras() = 0;

    // The Help items of the camera menu run the console menu's handlers.
    virtual void OnHelpAbout() = 0;
    virtual void OnHelpTopics() = 0;
    virtual void OnHelpOrdering() = 0;
    virtual void OnHelpOrderNow() = 0;
    virtual void OnHelpWebSite() = 0;

protected:
    ~CameraHost() = default;
};
