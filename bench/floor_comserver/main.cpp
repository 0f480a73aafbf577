// The editor-call floor: a minimal automation local server. It registers its
// class factory as running, serves calls on its apartment thread through a
// message loop, as the shell's GUI thread does, and ends when its last object
// is released (or after a minute without any). Once registered it sets the
// event kFloorReadyEvent, if its starter made one. With -Echo it also does
// the echo of Exec that the shell does (EchoLog.h), into floor-echo.log in
// its current directory, and registers as CLSID_BenchEchoFloorServer, setting
// kEchoFloorReadyEvent.
//
// usage: floor_comserver -Embedding [-Echo]
#include <windows.h>
#include <objbase.h>

#include <cstring>

#include "EchoLog.h"
#include "FloorFactory.h"
#include "FloorIds.h"
#include "ServerLock.h"

namespace {

constexpr UINT kIdleLimitMs = 60000;

floor_server::FloorFactory g_factory;

// Ends the loop if no object is alive when it fires: a server that no client
// reached does not linger.
void CALLBACK IdleTimeout(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    floor_server::Lock();
    floor_server::Unlock();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const bool echo = __argc > 2 && std::strcmp(__argv[2], "-Echo") == 0;
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    if (echo && !floor_server::StartEchoLog(instance, "floor-echo.log")) {
        floor_server::StopEchoLog();
        ::CoUninitialize();
        return 1;
    }
    DWORD cookie = 0;
    int status = 1;
    if (SUCCEEDED(::CoRegisterClassObject(echo ? CLSID_BenchEchoFloorServer : CLSID_BenchFloorServer, &g_factory,
                                          CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie))) {
        if (HANDLE ready = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, echo ? kEchoFloorReadyEvent : kFloorReadyEvent)) {
            ::SetEvent(ready);
            ::CloseHandle(ready);
        }
        ::SetTimer(nullptr, 0, kIdleLimitMs, IdleTimeout);
        MSG message;
        while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        ::CoRevokeClassObject(cookie);
        status = 0;
    }
    floor_server::StopEchoLog();
    ::CoUninitialize();
    return status;
}
