// One run of the real shell, started in a scratch tree (or from any copy in
// any start directory) and driven from this process as a user would: the
// console window found by the process id, text typed into the command line
// and Enter, menu commands, the pane read back.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "Journal.h"
#include "Process.h"
#include "ScratchTree.h"
#include "ShellWindowFind.h"

namespace vt {

// The platform the shell's type library is laid out for and registered under
// (TypeLib\{libid}\1.0\0\<platform>): clients of the same bitness look there.
#if defined(_WIN64)
inline constexpr char kTypeLibPlatform[] = "win64";
#else
inline constexpr char kTypeLibPlatform[] = "win32";
#endif

// A start of the shell from any executable in any start directory.
struct ShellStart {
    std::string exe;        // Windows path of Velmor.exe
    std::string arguments;  // after the quoted program name
    std::string directory;  // the start directory
    // The recording engine's journal, handed to it in VELMOR_JOURNAL (an
    // empty one removes the variable for the start).
    std::string journal;
    std::optional<WORD> showWindow = std::nullopt;  // STARTF_USESHOWWINDOW with this mode
    // At the end, close the console first and kill only if that fails.
    bool closeAtEnd = true;
};

// The tree's System\Velmor.exe started in the tree's root, its journal named
// to the engine as System\recorder.journal.
ShellStart StartIn(const ScratchTree& tree, const std::string& arguments = "");

class ShellProcess {
public:
    // Starts System\Velmor.exe with `arguments`, current directory = the
    // root, this process's environment unchanged (the engine journals to
    // System\recorder.journal); with `showWindow`, in that show mode.
    ShellProcess(const ScratchTree& tree, const std::string& arguments = "",
                 std::optional<WORD> showWindow = std::nullopt);
    explicit ShellProcess(const ShellStart& start);
    // Closes the console first where the start asked for it; then ends the
    // process by its id if it still runs.
    ~ShellProcess();
    ShellProcess(const ShellProcess&) = delete;
    ShellProcess& operator=(const ShellProcess&) = delete;

    DWORD Id() const { return m_process.Id(); }
    HANDLE Handle() const { return m_process.Handle(); }
    // The performance counter just before CreateProcess.
    std::int64_t StartCounter() const { return m_process.StartCounter(); }
    MemorySample Memory() const { return m_process.Memory(); }
    GuiObjects Gui() const { return m_process.Gui(); }
    Journal& EngineJournal() { return m_journal; }

    // The console window, waiting for it to appear; null on timeout or once
    // the process has ended.
    HWND Console(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    HWND Control(int id);
    // Waits until the engine was started (pInitAll journaled).
    bool WaitEngineStarted(std::chrono::milliseconds timeout = std::chrono::seconds(20));

    // Types `text` into the command line (WM_SETTEXT) and presses Enter;
    // false when there is no command line (no console).
    bool Type(const std::string& text);
    bool TypeWide(const std::wstring& text);
    // Runs an engine command from the command line and waits until the
    // engine has received it (trimmed, as the console hands it on); throws
    // on timeout.
    void Command(const std::string& text);
    // The same; false on timeout.
    bool TryCommand(const std::string& text);
    // Runs "rec.journal TAG" and waits for its note: every command typed
    // before it has then been handled completely. False on timeout.
    bool Sync(const std::string& tag);
    // Sends a menu command to the console, as its menu would, and waits for
    // it to be handled; false if the shell did not answer within `timeout`.
    bool MenuCommand(UINT id, std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // The output pane's text once it has settled (no update for a while).
    std::string PaneText();
    std::string CommandLineText();

    // Waits for the process to end; false on timeout.
    bool WaitExit(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    DWORD ExitCode() const;
    // The close sequence through the system menu's Close, then the wait;
    // false if the process still runs after `timeout`.
    bool Close(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    bool Running() const;
    void Kill();

private:
    Journal m_journal;
    Process m_process;
    bool m_closeAtEnd;
    HWND m_console = nullptr;
};

}  // namespace vt
