// The full start-up floor: the work the shell must do before its first paint,
// done by a bare program, in the shell's order. Run in a start tree (its
// working directory, as the shell's), it
//   - changes to START\system and registers a window class, as the shell does
//     for its cameras;
//   - initialises OLE (OleInitialize);
//   - writes an automation class's registry entries (ProgID, CLSID,
//     LocalServer32, ProgID under the class) where the shell writes its own,
//     under HKEY_CLASSES_ROOT, for a class of its own so that the shell's
//     stay untouched;
//   - loads and registers the tree's type library, START\System\Velmor.tlb;
//   - loads the tree's engine library (System\vmserver.dll) and finds its
//     entry points and record, and starts the multimedia timer the shell
//     starts: a 7 ms resolution request and a periodic 28 ms timer, whose
//     callback posts nothing because no engine runs yet;
//   - runs the console's dialog template (102) modally, an edit control in
//     the pane's place; its first WM_PAINT paints, opens a log file and writes
//     a line to it, as the shell's first paint opens Velmor.log, then writes
//     "qpc <counter>" to OUTPUT and ends the dialog.
// OUTPUT also gets the time of each step in microseconds ("ole_us ...").
//
// usage: floor_shellstart OUTPUT
#include <windows.h>
#include <mmsystem.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <wrl/client.h>

#include "EditAsPane.h"
#include "OleString.h"
#include "Qpc.h"
#include "UniqueHandle.h"
#include "resource.h"

using Microsoft::WRL::ComPtr;

namespace {

// {3d6c2a41-7f0e-4b9a-a1d2-6e5f8c9b0a37}: the floor's own class.
constexpr char kFloorClsid[] = "{3D6C2A41-7F0E-4B9A-A1D2-6E5F8C9B0A37}";
constexpr char kFloorProgId[] = "VelmorBench.StartupFloor";
constexpr char kFloorDescription[] = "Velmor bench start-up floor";
constexpr UINT kPeriod = 28;
constexpr UINT kResolution = 7;
// The engine library's exports, looked up as the loader binds the shell's.
constexpr const char* kEngineExports[] = {"pInitAll", "pExitAll", "pServerTick", "edsrvProcess",
                                          "linktopicProcessClientRequest", "linktopicProcessClientData",
                                          "PLATFORM"};

// OLE initialised for the life of the object.
class OleSession {
public:
    OleSession() : m_ok(SUCCEEDED(::OleInitialize(nullptr))) {}
    ~OleSession() {
        if (m_ok) ::OleUninitialize();
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    bool Ok() const { return m_ok; }

private:
    bool m_ok;
};

// The resolution request and the periodic timer, released in reverse order.
class PeriodicTimer {
public:
    PeriodicTimer() {
        ::timeBeginPeriod(kResolution);
        m_id = ::timeSetEvent(kPeriod, kResolution, &Callback, 0, TIME_PERIODIC);
    }
    ~PeriodicTimer() {
        if (m_id) ::timeKillEvent(m_id);
        ::timeEndPeriod(kResolution);
    }
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;
    bool Ok() const { return m_id != 0; }

private:
    // Before its engine runs the shell's callback posts nothing either.
    static void CALLBACK Callback(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}
    UINT m_id = 0;
};

bool SetKey(const std::string& subKey, const std::string& value) {
    return ::RegSetValueA(HKEY_CLASSES_ROOT, subKey.c_str(), REG_SZ, value.c_str(), 0) == ERROR_SUCCESS;
}

// The five entries the shell writes for its class, for the floor's class.
bool RegisterClassEntries() {
    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    const std::string clsidKey = std::string("CLSID\\") + kFloorClsid;
    bool ok = SetKey(kFloorProgId, kFloorDescription);
    ok = SetKey(std::string(kFloorProgId) + "\\CLSID", kFloorClsid) && ok;
    ok = SetKey(clsidKey, kFloorDescription) && ok;
    ok = SetKey(clsidKey + "\\LocalServer32", std::string("\"") + path + "\"") && ok;
    return SetKey(clsidKey + "\\ProgID", kFloorProgId) && ok;
}

bool RegisterTypeLibrary(const std::string& start) {
    const fw::OleString file(fw::AnsiToBstr(start + "\\System\\Velmor.tlb"));
    const fw::OleString help(fw::AnsiToBstr(start + "\\Help\\Velmor.hlp"));
    ComPtr<ITypeLib> typeLib;
    if (!file.Get() || !help.Get() || ::LoadTypeLib(file.Get(), &typeLib) != S_OK) return false;
    return SUCCEEDED(::RegisterTypeLib(typeLib.Get(), file.Get(), help.Get()));
}

fw::UniqueLibrary LoadEngine(const std::string& start) {
    fw::UniqueLibrary engine(::LoadLibraryA((start + "\\System\\vmserver.dll").c_str()));
    if (!engine) return engine;
    for (const char* name : kEngineExports)
        if (!::GetProcAddress(engine.get(), name)) return fw::UniqueLibrary();
    return engine;
}

const char* g_output = nullptr;
std::string g_steps;  // "name_us value" lines, written with the counter
bool g_written = false;

bool WriteCounter(std::int64_t counter) {
    fw::UniqueFile file = fw::OpenFile(g_output, "w");
    return file && std::fprintf(file.get(), "qpc %lld\n%s", static_cast<long long>(counter), g_steps.c_str()) > 0;
}

// The first paint's share of the shell's log: the file opened and one line.
bool OpenLogFile() {
    fw::UniqueFile log = fw::OpenFile("floor.log", "w");
    return log && std::fputs("Log file open\n", log.get()) >= 0 && std::fflush(log.get()) == 0;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    try {
        switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            ::BeginPaint(dialog, &paint);
            ::EndPaint(dialog, &paint);
            if (!g_written) {
                const bool logged = OpenLogFile();
                g_written = logged && WriteCounter(bench::QpcNow());
                ::EndDialog(dialog, IDOK);
            }
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) ::EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    } catch (...) {
        ::EndDialog(dialog, IDABORT);  // g_written stays false: the run failed
        return TRUE;
    }
}

// Microseconds since `*from`, which moves on to now.
double Lap(std::int64_t* from) {
    const std::int64_t now = bench::QpcNow();
    const double us = bench::QpcToMicroseconds(now - *from);
    *from = now;
    return us;
}

void Step(const char* name, double us) {
    char line[64];
    std::snprintf(line, sizeof line, "%s_us %.0f\n", name, us);
    g_steps += line;
}

int Run(HINSTANCE instance) {
    std::int64_t lap = bench::QpcNow();
    char start[MAX_PATH] = {};
    const DWORD n = ::GetCurrentDirectoryA(MAX_PATH, start);
    if (n == 0 || n >= MAX_PATH) return 1;
    ::SetCurrentDirectoryA((std::string(start) + "\\system").c_str());
    WNDCLASSA cameraLike{};
    cameraLike.style = CS_OWNDC | CS_BYTEALIGNCLIENT;
    cameraLike.lpfnWndProc = ::DefWindowProcA;
    cameraLike.hInstance = instance;
    cameraLike.hCursor = ::LoadCursorA(nullptr, IDC_CROSS);
    cameraLike.lpszClassName = "BenchFloorCamera";
    if (!::RegisterClassA(&cameraLike)) return 1;
    Step("prepare", Lap(&lap));

    const OleSession ole;
    if (!ole.Ok()) return 1;
    Step("ole", Lap(&lap));
    if (!RegisterClassEntries()) return 1;
    Step("registry", Lap(&lap));
    if (!RegisterTypeLibrary(start)) return 1;
    Step("typelib", Lap(&lap));
    const fw::UniqueLibrary engine = LoadEngine(start);
    if (!engine) return 1;
    Step("engine", Lap(&lap));
    const PeriodicTimer timer;
    if (!timer.Ok()) return 1;
    Step("timer", Lap(&lap));

    if (!bench::RegisterEditAsPane(instance)) return 1;
    ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CONSOLE), nullptr, DialogProc, 0);
    return g_written ? 0 : 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc != 2) return 2;
    g_output = __argv[1];
    try {
        return Run(instance);
    } catch (...) {
        return 1;
    }
}
