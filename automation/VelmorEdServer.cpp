#include "VelmorEdServer.h"

#include <cstring>
#include <iterator>
#include <new>

#include "OleApp.h"
#include "OleString.h"
#include "app/CrashHandler.h"
#include "automation/dispids.h"
#include "automation/guids.h"
#include "engine/vmserver.h"

// String arguments arrive as 8-bit strings of the ANSI code page, converted
// by the dispatch map (see fw::BstrToAnsi): characters outside the code page
// become '?', and as the engine takes NUL-terminated strings it sees a string
// with an embedded NUL only up to that NUL. A null BSTR is "".

namespace {

constexpr int kLogInfo = 1;

// Echoes a command through the platform record's Log routine, as the console
// does for its command line.
void LogCommand(const char* command) {
    if (PLATFORM.Log) PLATFORM.Log(kLogInfo, command);
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

const fw::DispatchEntry VelmorEdServer::dispatchEntries[] = {
    {L"CurCamera",  fw::DispProperty<&VelmorEdServer::GetCurCamera, &VelmorEdServer::SetCurCamera>},
    {L"Fullscreen", fw::DispProperty<&VelmorEdServer::GetFullscreen, &VelmorEdServer::SetFullscreen>},
    {L"Exec",       fw::DispMethod<&VelmorEdServer::Exec>},
    {L"SlowExec",   fw::DispMethod<&VelmorEdServer::SlowExec>},
    {L"GetProp",    fw::DispMethod<&VelmorEdServer::GetProp>},
    {L"SetProp",    fw::DispMethod<&VelmorEdServer::SetProp>},
    {L"Init",       fw::DispMethod<&VelmorEdServer::Init>},
    {L"NumCameras", fw::DispMethod<&VelmorEdServer::NumCameras>},
    {L"Camera",     fw::DispMethod<&VelmorEdServer::Camera>},
    {L"NewCamera",  fw::DispMethod<&VelmorEdServer::NewCamera>},
};

const fw::DispatchMap VelmorEdServer::dispatchMap = {&IID_IVelmorEdServer, L"Velmor.VelmorEdServer",
                                                     dispatchEntries};

const fw::DispatchMap& VelmorEdServer::GetDispatchMap() const { return dispatchMap; }

VelmorEdServer::VelmorEdServer() {
    static_assert(std::size(dispatchEntries) == VELMOR_DISPID_ED_NEWCAMERA);
    fw::OleLockApp();
}

void VelmorEdServer::OnFinalRelease() {
    fw::DispatchObject::OnFinalRelease();  // deletes the object
    fw::OleUnlockApp();                    // exactly once per object, here
}

long VelmorEdServer::GetCurCamera() { return 0; }

void VelmorEdServer::SetCurCamera(long) {}  // ignored: there is no current camera

fw::DispBool VelmorEdServer::GetFullscreen() { return TRUE; }

void VelmorEdServer::SetFullscreen(fw::DispBool) {}  // ignored

void VelmorEdServer::Exec(const char* command) {
    LogCommand(command);
    GuardEngineCall([&] { edsrvProcess(kEngineChannel, 0, command); });  // result ignored
}

void VelmorEdServer::SlowExec(const char* command) {
    // Restored when the engine returns (or an exception leaves the call).
    WaitCursor wait;
    LogCommand(command);
    GuardEngineCall([&] { edsrvProcess(kEngineChannel, 0, command); });
}

BSTR VelmorEdServer::GetProp(const char* first, const char* second) {
    // The buffer is not cleared: the engine writes its reply from the start.
    // Only the first byte is set, so that an engine writing nothing yields ""
    // rather than whatever the stack held.
    char reply[kEngineReplySize];
    reply[0] = '\0';
    GuardEngineCall(
        [&] { linktopicProcessClientRequest(kEngineChannel, first, second, 0, reply); });
    // The engine should leave a NUL within the buffer. If it leaves none, the
    // reply is cut to its first kEngineReplySize - 1 characters; nothing is
    // read past the buffer.
    const std::size_t length = ::strnlen(reply, kEngineReplySize - 1);
    BSTR result = fw::AnsiToBstr(reply, length);
    if (!result) throw std::bad_alloc();
    return result;  // the caller owns it
}

void VelmorEdServer::SetProp(const char* first, const char* second, const char* value) {
    GuardEngineCall([&] {
        linktopicProcessClientData(kEngineChannel, first, second, 0, value);  // result ignored
    });
}

void VelmorEdServer::Init(long) {}  // ignored

long VelmorEdServer::NumCameras() { return 0; }  // whatever cameras are open

IDispatch* VelmorEdServer::Camera(long) { return nullptr; }  // no camera is handed out

IDispatch* VelmorEdServer::NewCamera(VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT,
                                     VARIANT) {
    return nullptr;  // the arguments are not examined; no camera is made
}
