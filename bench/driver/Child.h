// A process the bench starts: the moment of the CreateProcess call on the
// performance counter, and what can be read about the process from outside.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace bench {

struct MemorySample {
    double workingSetKiB = 0;
    double peakWorkingSetKiB = 0;
    double privateKiB = 0;
    bool valid = false;
};

struct GuiObjects {
    DWORD gdi = 0;
    DWORD user = 0;
};

class Child {
public:
    // Starts `exe` with `arguments` in `directory`; Started() tells whether it did.
    Child(const std::string& exe, const std::string& arguments, const std::string& directory);
    // Ends the process if it still runs.
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return m_info.hProcess != nullptr; }
    std::int64_t StartCounter() const { return m_startCounter; }  // just before CreateProcess
    DWORD Id() const { return m_info.dwProcessId; }
    HANDLE Handle() const { return m_info.hProcess; }

    bool Running() const;
    bool WaitExit(std::chrono::milliseconds timeout);
    DWORD ExitCode() const;
    void Kill();

    MemorySample Memory() const;
    GuiObjects Gui() const;

private:
    PROCESS_INFORMATION m_info{};
    std::int64_t m_startCounter = 0;
};

}  // namespace bench
