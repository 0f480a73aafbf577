// A process started from a test or the bench, owned by its holder: started
// with a chosen directory, show mode, environment and output files, waited
// for, read from outside (memory, GUI objects) and ended by its id.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ProcessMemory.h"
#include "UniqueHandle.h"

namespace vt {

struct ProcessStart {
    std::string exe;        // Windows path; empty: the program is the command line's first word
    std::string arguments;  // after the quoted program name (the whole line when exe is empty)
    std::string directory;  // its current directory
    std::optional<WORD> showWindow;  // STARTF_USESHOWWINDOW with this mode
    // Files (or any inheritable handles) for stdout and stderr; the process
    // then gets no window of its own.
    HANDLE output = nullptr;
    HANDLE error = nullptr;
    // Environment variables of this process set for the start (an empty value
    // removes the variable), so that the child inherits them.
    std::vector<std::pair<std::string, std::string>> environment;
};

struct GuiObjects {
    DWORD gdi = 0;
    DWORD user = 0;
};

class Process {
public:
    // Starts the process; Started() tells whether it did, LastError() why not.
    explicit Process(const ProcessStart& start);
    // Convenience: `exe` with `arguments` in `directory`.
    Process(const std::string& exe, const std::string& arguments, const std::string& directory);
    // Ends the process if it still runs.
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return static_cast<bool>(m_process); }
    DWORD LastError() const { return m_error; }
    // The performance counter just before CreateProcess.
    std::int64_t StartCounter() const { return m_startCounter; }
    DWORD Id() const { return m_id; }
    HANDLE Handle() const { return m_process.Get(); }

    bool Running() const;
    // True once ended (or never started); false on timeout.
    bool WaitExit(std::chrono::milliseconds timeout);
    DWORD ExitCode() const;  // STILL_ACTIVE while it runs
    void Kill();

    MemorySample Memory() const;
    GuiObjects Gui() const;

private:
    fw::UniqueHandle m_process;
    DWORD m_id = 0;
    DWORD m_error = 0;
    std::int64_t m_startCounter = 0;
};

// An output file a child process inherits for stdout or stderr; throws when
// it cannot be created.
fw::UniqueHandle CreateInheritableFile(const std::string& path);

}  // namespace vt
