#include "VelmorEdServer.h"

#include <cstring>
#include <new>
#include <string>

#include "OleApp.h"
#include "OleString.h"
#include "engine/EngineCalls.h"
#include "engine/vmserver.h"
#include "log/Log.h"

// String arguments reach the engine as 8-bit strings of the ANSI code page
// (fw::BstrToAnsi): characters outside the code page become its default
// character ('?'), and as the engine takes NUL-terminated strings it sees a
// string with an embedded NUL only up to that NUL. A null BSTR is "".
//
// Out-parameters that OLE passes are never null when the call comes through
// IDispatch; a vtable caller that passes null gets E_POINTER.

namespace {

// Echoes a command through the platform record's Log routine, as the console
// does for its command line.
void LogCommand(const char* command) {
    if (PLATFORM.Log) PLATFORM.Log(LogNumber(LogCategory::Info), command);
}

void RunCommand(BSTR command) {
    const std::string text = fw::BstrToAnsi(command);
    LogCommand(text.c_str());
    engine::Process(text.c_str(), stats::CommandSource::Automation);  // result ignored
}

// Shows the wait cursor for its lifetime, then the cursor that was current.
class WaitCursor {
public:
    WaitCursor() : m_previous(::SetCursor(::LoadCursorA(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { ::SetCursor(m_previous); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR m_previous;  // shared system cursor, not owned
};

}  // namespace

VelmorEdServer::VelmorEdServer()
    : fw::AutomationObject<IVelmorEdServer>(L"Velmor.VelmorEdServer", &CLSID_VelmorEdServer) {
    fw::OleLockApp();
}

void VelmorEdServer::OnFinalRelease() {
    fw::AutomationObject<IVelmorEdServer>::OnFinalRelease();  // deletes the object
    fw::OleUnlockApp();                                       // exactly once per object, here
}

HRESULT VelmorEdServer::get_CurCamera(LONG* value) {
    if (!value) return E_POINTER;
    *value = 0;
    return S_OK;
}

HRESULT VelmorEdServer::put_CurCamera(LONG) { return S_OK; }  // there is no current camera

HRESULT VelmorEdServer::get_Fullscreen(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    *value = VARIANT_TRUE;
    return S_OK;
}

HRESULT VelmorEdServer::put_Fullscreen(VARIANT_BOOL) { return S_OK; }  // ignored

HRESULT VelmorEdServer::Exec(BSTR command) {
    return Guard([&] { RunCommand(command); });
}

HRESULT VelmorEdServer::SlowExec(BSTR command) {
    return Guard([&] {
        // Restored when the engine returns (or an exception leaves the call).
        WaitCursor wait;
        RunCommand(command);
    });
}

HRESULT VelmorEdServer::GetProp(BSTR first, BSTR second, BSTR* reply) {
    if (!reply) return E_POINTER;
    *reply = nullptr;
    return Guard([&] {
        const std::string a = fw::BstrToAnsi(first);
        const std::string b = fw::BstrToAnsi(second);
        // The buffer is not cleared: the engine writes its reply from the
        // start. Only the first byte is set, so that an engine writing nothing
        // yields "" rather than whatever the stack held.
        char buffer[kEngineReplySize];
        buffer[0] = '\0';
        engine::ClientRequest(a.c_str(), b.c_str(), buffer);
        // The engine should leave a NUL within the buffer. If it leaves none,
        // the reply is cut to its first kEngineReplySize - 1 characters;
        // nothing is read past the buffer.
        const std::size_t length = ::strnlen(buffer, kEngineReplySize - 1);
        *reply = fw::AnsiToBstr(buffer, length);  // the caller owns it
        if (!*reply) throw std::bad_alloc();
    });
}

HRESULT VelmorEdServer::SetProp(BSTR first, BSTR second, BSTR value) {
    return Guard([&] {
        const std::string a = fw::BstrToAnsi(first);
        const std::string b = fw::BstrToAnsi(second);
        const std::string c = fw::BstrToAnsi(value);
        engine::ClientData(a.c_str(), b.c_str(), c.c_str());  // result ignored
    });
}

HRESULT VelmorEdServer::Init(LONG) { return S_OK; }  // ignored

HRESULT VelmorEdServer::NumCameras(LONG* count) {
    if (!count) return E_POINTER;
    *count = 0;  // whatever cameras are open
    return S_OK;
}

HRESULT VelmorEdServer::Camera(LONG, IDispatch** camera) {
    if (!camera) return E_POINTER;
    *camera = nullptr;  // no camera is handed out
    return S_OK;
}

HRESULT VelmorEdServer::NewCamera(VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT,
                                  VARIANT, IDispatch** camera) {
    if (!camera) return E_POINTER;
    *camera = nullptr;  // the arguments are not examined; no camera is made
    return S_OK;
}
