// One run of the real shell in a start tree (StartTree.h), driven from here as
// a user would drive it: commands typed into the console's command line, menu
// commands, the system menu's Close.
#pragma once

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>

#include "Harness.h"

namespace bench {

class ShellRun {
public:
    // Starts System\Velmor.exe of the tree `root` with `arguments`, in `root`.
    explicit ShellRun(const std::string& root, const std::string& arguments = "");

    bool Started() const { return m_process && m_process->Started(); }
    Child& Process() { return *m_process; }
    Journal& EngineJournal() { return m_journal; }
    const std::string& Root() const { return m_root; }

    bool WaitEngineStarted(std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // The console window, waiting for it; null on timeout.
    HWND Console(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Types `text` into the command line and presses Enter.
    bool Type(const std::string& text);
    // Sends a menu command to the console, as its menu would, and waits for
    // it to be handled; false if the shell did not answer within `timeout`.
    bool MenuCommand(UINT id, std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Top-level windows of the shell's process.
    int WindowCount() const;

    // The close sequence through the system menu's Close; kills the process
    // if it has not ended within `timeout`. False if it had to be killed.
    bool Close(std::chrono::milliseconds timeout = std::chrono::seconds(60));

private:
    std::string m_root;
    Journal m_journal;
    std::unique_ptr<Child> m_process;
    HWND m_console = nullptr;
};

}  // namespace bench
