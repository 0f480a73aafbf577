#include "Child.h"

#include <psapi.h>

#include "Qpc.h"

namespace bench {

Child::Child(const std::string& exe, const std::string& arguments, const std::string& directory) {
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    m_startCounter = QpcNow();
    if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          directory.c_str(), &startup, &m_info))
        m_info = PROCESS_INFORMATION{};
}

Child::~Child() {
    Kill();
    if (m_info.hThread) ::CloseHandle(m_info.hThread);
    if (m_info.hProcess) ::CloseHandle(m_info.hProcess);
}

bool Child::Running() const {
    return m_info.hProcess && ::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT;
}

bool Child::WaitExit(std::chrono::milliseconds timeout) {
    return !m_info.hProcess ||
           ::WaitForSingleObject(m_info.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

DWORD Child::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (m_info.hProcess) ::GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

void Child::Kill() {
    if (Running()) {
        ::TerminateProcess(m_info.hProcess, 99);
        ::WaitForSingleObject(m_info.hProcess, 10000);
    }
}

MemorySample Child::Memory() const {
    MemorySample sample;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (m_info.hProcess && ::GetProcessMemoryInfo(m_info.hProcess, &counters, sizeof counters)) {
        sample.workingSetKiB = static_cast<double>(counters.WorkingSetSize) / 1024;
        sample.peakWorkingSetKiB = static_cast<double>(counters.PeakWorkingSetSize) / 1024;
        sample.privateKiB = static_cast<double>(counters.PagefileUsage) / 1024;
        sample.valid = true;
    }
    return sample;
}

GuiObjects Child::Gui() const {
    GuiObjects objects;
    if (m_info.hProcess) {
        objects.gdi = ::GetGuiResources(m_info.hProcess, GR_GDIOBJECTS);
        objects.user = ::GetGuiResources(m_info.hProcess, GR_USEROBJECTS);
    }
    return objects;
}

}  // namespace bench
