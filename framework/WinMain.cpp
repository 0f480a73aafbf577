// Entry point: hands the arguments and show mode to the application object.
#include <windows.h>

#include "WinApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int cmdShow) {
    fw::WinApp* app = fw::WinApp::Current();
    if (!app) return 1;
    app->Start(instance, cmdLine, cmdShow);
    int status = 0;
    try {
        if (!app->InitInstance()) return app->ExitInstance();
        status = app->ExitInstance();
    } catch (...) {
        status = 1;  // nothing else can report it here
    }
    return status;
}
