// One run of the real shell, started in a scratch tree and driven from this
// process as a user would: the console window found by the process id, text
// typed into the command line and Enter, menu commands, the pane read back.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

#include "Journal.h"
#include "ScratchTree.h"

namespace vt {

// The platform the shell's type library is laid out for and registered under
// (TypeLib\{libid}\1.0\0\<platform>): clients of the same bitness look there.
#if defined(_WIN64)
inline constexpr char kTypeLibPlatform[] = "win64";
#else
inline constexpr char kTypeLibPlatform[] = "win32";
#endif

class ShellProcess {
public:
    // Starts System\Velmor.exe with `arguments`, current directory = the root.
    ShellProcess(const ScratchTree& tree, const std::string& arguments = "");
    // Ends the process by its id if it still runs.
    ~ShellProcess();
    ShellProcess(const ShellProcess&) = delete;
    ShellProcess& operator=(const ShellProcess&) = delete;

    DWORD Id() const { return m_info.dwProcessId; }
    HANDLE Handle() const { return m_info.hProcess; }
    Journal& EngineJournal() { return m_journal; }

    // The console window, waiting for it to appear; null on timeout.
    HWND Console(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    HWND Control(int id);
    // Waits until the engine was started (pInitAll journaled).
    bool WaitEngineStarted();

    // Types `text` into the command line (WM_SETTEXT) and presses Enter.
    void Type(const std::string& text);
    // Runs an engine command from the command line and waits until the
    // engine has received it.
    void Command(const std::string& text);
    // Sends a menu command to the console, as its menu would.
    void MenuCommand(UINT id);
    // The output pane's text once it has settled (no update for a while).
    std::string PaneText();
    std::string CommandLineText();

    // Waits for the process to end; false on timeout.
    bool WaitExit(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    DWORD ExitCode() const;
    // The close sequence through the system menu's Close, then the wait.
    bool Close();
    bool Running() const;
    void Kill();

private:
    PROCESS_INFORMATION m_info{};
    Journal m_journal;
    HWND m_console = nullptr;
};

// Text of a window (cross-process WM_GETTEXT).
std::string WindowText(HWND window);

}  // namespace vt
