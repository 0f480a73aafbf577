#include "Process.h"

#include <stdexcept>

namespace vt {

namespace {

// Sets environment variables of this process for the scope's life, so that a
// child started meanwhile inherits them.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const std::vector<std::pair<std::string, std::string>>& values) {
        for (const auto& [name, value] : values) {
            Saved saved{name, false, {}};
            const DWORD size = ::GetEnvironmentVariableA(name.c_str(), nullptr, 0);
            if (size > 0) {
                std::string old(size, '\0');
                const DWORD n = ::GetEnvironmentVariableA(name.c_str(), old.data(), size);
                saved.had = n < size;
                old.resize(n);
                saved.value = std::move(old);
            }
            m_saved.push_back(std::move(saved));
            ::SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
        }
    }
    ~ScopedEnvironment() {
        for (const Saved& saved : m_saved)
            ::SetEnvironmentVariableA(saved.name.c_str(), saved.had ? saved.value.c_str() : nullptr);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    struct Saved {
        std::string name;
        bool had;
        std::string value;
    };
    std::vector<Saved> m_saved;
};

}  // namespace

Process::Process(const ProcessStart& start) {
    std::string commandLine = start.arguments;
    if (!start.exe.empty()) {
        commandLine = "\"" + start.exe + "\"";
        if (!start.arguments.empty()) commandLine += " " + start.arguments;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (start.showWindow) {
        startup.dwFlags |= STARTF_USESHOWWINDOW;
        startup.wShowWindow = *start.showWindow;
    }
    const bool redirected = start.output || start.error;
    if (redirected) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdOutput = start.output;
        startup.hStdError = start.error;
    }
    PROCESS_INFORMATION info{};
    ScopedEnvironment environment(start.environment);
    // Under Wine a start has failed once, rarely, right after the executable
    // was copied into its start tree: one more try, a moment later, and the
    // error of the last is kept for the caller's message.
    for (int attempt = 0;; ++attempt) {
        LARGE_INTEGER now{};
        ::QueryPerformanceCounter(&now);
        m_startCounter = now.QuadPart;
        if (::CreateProcessA(start.exe.empty() ? nullptr : start.exe.c_str(), commandLine.data(), nullptr,
                             nullptr, redirected, redirected ? CREATE_NO_WINDOW : 0, nullptr,
                             start.directory.c_str(), &startup, &info))
            break;
        m_error = ::GetLastError();
        if (attempt == 1) return;
        ::Sleep(250);
    }
    ::CloseHandle(info.hThread);
    m_process = fw::UniqueHandle(info.hProcess);
    m_id = info.dwProcessId;
}

Process::Process(const std::string& exe, const std::string& arguments, const std::string& directory)
    : Process(ProcessStart{exe, arguments, directory, {}, nullptr, nullptr, {}}) {}

Process::~Process() { Kill(); }

namespace {

// Waits on the process handle; should that handle have been closed under us
// (a stale close elsewhere in the test process), on one opened by the id.
// A process that can no longer be opened has ended.
DWORD WaitOn(const fw::UniqueHandle& process, DWORD id, DWORD milliseconds) {
    const DWORD result = ::WaitForSingleObject(process.Get(), milliseconds);
    if (result != WAIT_FAILED) return result;
    const fw::UniqueHandle byId(::OpenProcess(SYNCHRONIZE, FALSE, id));
    return byId ? ::WaitForSingleObject(byId.Get(), milliseconds) : WAIT_OBJECT_0;
}

}  // namespace

bool Process::Running() const { return m_process && WaitOn(m_process, m_id, 0) == WAIT_TIMEOUT; }

bool Process::WaitExit(std::chrono::milliseconds timeout) {
    return !m_process || WaitOn(m_process, m_id, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (m_process) ::GetExitCodeProcess(m_process.Get(), &code);
    return code;
}

void Process::Kill() {
    if (Running()) {
        ::TerminateProcess(m_process.Get(), 99);
        ::WaitForSingleObject(m_process.Get(), 10000);
    }
}

MemorySample Process::Memory() const { return ReadMemory(m_process.Get()); }

GuiObjects Process::Gui() const {
    GuiObjects objects;
    if (m_process) {
        objects.gdi = ::GetGuiResources(m_process.Get(), GR_GDIOBJECTS);
        objects.user = ::GetGuiResources(m_process.Get(), GR_USEROBJECTS);
    }
    return objects;
}

fw::UniqueHandle CreateInheritableFile(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    fw::UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot create " + path);
    return file;
}

}  // namespace vt
