#include "VelmorApp.h"

#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <string>

#include "CrashHandler.h"
#include "FrameTimer.h"
#include "OleApp.h"
#include "OleObjectFactory.h"
#include "StartupPaths.h"
#include "TypeLibraryFile.h"
#include "console/VelmorConsole.h"
#include "engine/PlatformRecordFill.h"
#include "engine/vmserver.h"
#include "log/Log.h"
#include "resource.h"

namespace {

constexpr std::size_t kPathSize = 256;

// An OLE start switch ("-Embedding" or "/Embedding", likewise Automation) as an
// argument of its own, in any case.
bool HasSwitch(const char* commandLine, const char* name) {
    const char* p = commandLine;
    const size_t length = std::strlen(name);
    while (p && *p) {
        while (*p == ' ' || *p == '\t') ++p;
        const char* start = p;
        while (*p && *p != ' ' && *p != '\t') ++p;
        const size_t wordLength = static_cast<size_t>(p - start);
        if (wordLength == length + 1 && (*start == '-' || *start == '/') &&
            ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, start + 1,
                             static_cast<int>(length), name,
                             static_cast<int>(length)) == CSTR_EQUAL)
            return true;
    }
    return false;
}

// This executable's full path; empty when it cannot be read whole.
std::string ExecutablePath() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    return n > 0 && n < sizeof path ? std::string(path, n) : std::string();
}

// An OLE string converted from an 8-bit path; owned, freed with the object.
class OleString {
public:
    explicit OleString(const char* text) {
        const int n = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
        if (n > 0) {
            m_text.resize(static_cast<std::size_t>(n));
            ::MultiByteToWideChar(CP_ACP, 0, text, -1, m_text.data(), n);
        } else {
            m_text.assign(1, L'\0');
        }
    }
    wchar_t* Get() { return m_text.data(); }

private:
    std::wstring m_text;
};

// Registers the type library beside the executable's start tree; every
// failure is silent by design (start-up goes on without a message).
void RegisterTypeLibrary(const char* startDirectory) {
    char typeLibPath[kPathSize];
    char helpPath[kPathSize];
    if (!JoinPath(typeLibPath, kPathSize, startDirectory, "\\System\\Velmor.tlb")) return;
    if (!JoinPath(helpPath, kPathSize, startDirectory, "\\Help\\Velmor.hlp")) return;
    if (!TypeLibraryFileIsWhole(typeLibPath)) return;  // cut short: loading could end the process
    OleString typeLibWide(typeLibPath);
    OleString helpWide(helpPath);
    ITypeLib* typeLib = nullptr;
    if (::LoadTypeLib(typeLibWide.Get(), &typeLib) == S_OK) {
        ::RegisterTypeLib(typeLib, typeLibWide.Get(), helpWide.Get());
    }
    if (typeLib) typeLib->Release();
}

}  // namespace

const fw::MessageMapEntry VelmorApp::messageEntries[] = {
    {WM_COMMAND, 0, ID_FILE_EXIT, fw::On<&VelmorApp::OnFileExit>},
    {WM_COMMAND, 0, ID_WINDOW_NEW_CAMERA, fw::On<&VelmorApp::OnWindowNewCamera>},
    {WM_COMMAND, 0, ID_HELP_ABOUT, fw::On<&VelmorApp::OnHelpAbout>},
    {WM_COMMAND, 0, ID_WINDOW_CLOSE_ALL_CAMERAS, fw::On<&VelmorApp::OnWindowCloseAllCameras>},
    {WM_COMMAND, 0, ID_HELP_WEB_SITE, fw::On<&VelmorApp::OnHelpWebSite>},
    {WM_COMMAND, 0, ID_HELP_TOPICS, fw::On<&VelmorApp::OnHelpTopics>},
    {WM_COMMAND, 0, ID_HELP_ORDERING, fw::On<&VelmorApp::OnHelpOrdering>},
    {WM_COMMAND, 0, ID_HELP_ORDER_NOW, fw::On<&VelmorApp::OnHelpOrderNow>},
    {WM_COMMAND, 0, ID_WINDOW_ALWAYS_ON_TOP, fw::On<&VelmorApp::OnWindowAlwaysOnTop>},
    {WM_COMMAND, 0, ID_LOG_CLOSE, fw::On<&VelmorApp::OnLogClose>},
    {WM_COMMAND, 0, ID_LOG_OPEN, fw::On<&VelmorApp::OnLogOpen>},
    {WM_COMMAND, 0, ID_EDIT_COPY, fw::On<&VelmorApp::OnEditCopy>},
    {WM_COMMAND, 0, ID_EDIT_PASTE, fw::On<&VelmorApp::OnEditPaste>},
    {WM_COMMAND, 0, ID_LOG_STATISTICS, fw::On<&VelmorApp::OnLogStatistics>},
    {WM_COMMAND, 0, ID_HELP, fw::On<&fw::WinApp::OnHelp>},
};

const fw::MessageMap VelmorApp::messageMap = {nullptr, messageEntries};

const fw::MessageMap* VelmorApp::GetMessageMap() const { return &messageMap; }

// The help file, relative to the working directory (the System folder), for
// the Help menu and the framework's own help command alike.
VelmorApp::VelmorApp() { m_pszHelpFilePath = "..\\help\\velmor.hlp"; }

VelmorApp::~VelmorApp() = default;

BOOL VelmorApp::InitInstance() {
    const bool oleStart = HasSwitch(m_lpCmdLine, "Embedding") || HasSwitch(m_lpCmdLine, "Automation");

    // The start directory is where the shell was started. COM starts a local
    // server in the Windows system folder (under Wine, in the client's
    // folder), so an OLE start of an executable in a System folder works in
    // the tree that folder belongs to instead. A directory that does not fit
    // the buffer is not used: the working directory stays as it is and the
    // type library is not registered.
    char startDirectory[kPathSize] = {};
    bool haveStart = oleStart && StartTreeOfExecutable(startDirectory, kPathSize, ExecutablePath().c_str());
    if (!haveStart) {
        const DWORD n = ::GetCurrentDirectoryA(kPathSize, startDirectory);
        haveStart = n > 0 && n < kPathSize;
        if (!haveStart) startDirectory[0] = '\0';
    }

    // The engine and the log work in start directory + "\system", joined as
    // is; a start whose System folder is missing still runs.
    char workDirectory[kPathSize];
    if (haveStart && JoinPath(workDirectory, kPathSize, startDirectory, "\\system"))
        ::SetCurrentDirectoryA(workDirectory);  // result deliberately not tested
    // The settings file by its full path: the profile functions look for a
    // bare name in the Windows folder. No start directory, no settings.
    if (!haveStart ||
        !JoinPath(m_szSettingsPath, sizeof m_szSettingsPath, startDirectory, "\\System\\Velmor.ini"))
        m_szSettingsPath[0] = '\0';

    // Cameras need their class before any engine command can open one.
    m_pszCameraClass = fw::RegisterWndClass(CS_OWNDC | CS_BYTEALIGNCLIENT,
                                            ::LoadCursorA(nullptr, IDC_CROSS), nullptr, nullptr);

    // Without OLE there is no automation server; the shell refuses to run.
    if (!fw::OleInit()) {
        char text[256] = {};
        ::LoadStringA(m_hInstance, IDS_OLE_INIT_FAILED, text, sizeof text);
        ::MessageBoxA(nullptr, text, m_pszExeName, MB_OK);
        return FALSE;
    }

    // The engine reads the upper-cased command line; an OLE start serves the
    // editor, so the class factories go up as running and the engine is told
    // with " -EDITOR".
    CopyCommandLine(m_szCmdLine, sizeof m_szCmdLine, m_lpCmdLine, oleStart);
    if (oleStart) {
        fw::OleObjectFactory::RegisterAll();  // result deliberately ignored
    } else {
        // A normal start refreshes the registry and the type library, so that
        // the editor finds this installation.
        fw::OleObjectFactory::UpdateRegistryAll(true);  // result deliberately ignored
        if (haveStart) RegisterTypeLibrary(startDirectory);
    }

    // "/REGISTER" anywhere, in any case, asks for the registration alone. The
    // whole command line is searched, not only the part that fits the copy.
    if (UpperCaseAscii(m_lpCmdLine).find("/REGISTER") != std::string::npos) return FALSE;

    // The record carries the command line, " -EDITOR" already in place.
    FillPlatformRecord({&Log, &EnableLog, &OpenLog, &CloseLog, g_logNames, kDefaultLogFileName},
                       m_szCmdLine, m_pszExeName);
    InstallCrashHandler();  // from now on there may be a log to save

    // The console is the main window: the shell ends when it closes.
    m_pConsole = new VelmorConsole(nullptr);
    m_pMainWnd = m_pConsole;

    // The frame timer starts before the trap below and stops after it.
    timerInit(35);

    // An exception that escapes the console's run is logged, and the shell
    // still stops its timer and ends in order.
    try {
        m_pConsole->DoModal();
    } catch (...) {
        Log(LogCategory::Critical, "Caught general exception");
    }
    m_metrics.Stop();  // where the close sequence did not run
    m_remoteConsole.Stop();

    timerExit();
    return FALSE;
}
