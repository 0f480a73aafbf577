#include "ReliabilitySupport.h"

#include <dbghelp.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <stdexcept>
#include <thread>

#include "LoadCalls.h"
#include "ScratchTree.h"
#include "ShellProcess.h"
#include "WinePath.h"

namespace rel {
namespace {

// Sets an environment variable of this process for the scope's life, so that
// a child started meanwhile inherits it.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : m_name(name) {
        char old[4096];
        const DWORD n = ::GetEnvironmentVariableA(name, old, sizeof old);
        m_had = n > 0 && n < sizeof old;
        if (m_had) m_old = old;
        ::SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
    }
    ~ScopedEnvironment() { ::SetEnvironmentVariableA(m_name, m_had ? m_old.c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    bool m_had = false;
    std::string m_old;
};

struct FindConsole {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindConsoleProc(HWND window, LPARAM param) {
    auto* find = reinterpret_cast<FindConsole*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    char title[64] = {};
    ::GetWindowTextA(window, title, sizeof title);
    if (pid != find->pid || std::string(title) != "Velmor Console") return TRUE;
    find->found = window;
    return FALSE;
}

std::string Trimmed(const std::string& text) {
    const char* space = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(space) + 1 - first);
}

}  // namespace

Shell::Shell(const ShellStart& start) : m_journal(start.journal) {
    std::string commandLine = "\"" + start.exe + "\"";
    if (!start.arguments.empty()) commandLine += " " + start.arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ScopedEnvironment journal("VELMOR_JOURNAL", start.journal);
    if (!::CreateProcessA(start.exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, start.directory.c_str(), &startup, &m_info))
        throw std::runtime_error("cannot start " + start.exe + " in " + start.directory +
                                 ": error " + std::to_string(::GetLastError()));
}

Shell::~Shell() {
    if (Running()) Close();
    Kill();
    if (m_info.hThread) ::CloseHandle(m_info.hThread);
    if (m_info.hProcess) ::CloseHandle(m_info.hProcess);
}

bool Shell::Running() const {
    return m_info.hProcess && ::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT;
}

HWND Shell::Console(std::chrono::milliseconds timeout) {
    if (m_console && ::IsWindow(m_console)) return m_console;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Running()) {
        FindConsole find{Id(), nullptr};
        ::EnumWindows(&FindConsoleProc, reinterpret_cast<LPARAM>(&find));
        if (find.found) return m_console = find.found;
        if (std::chrono::steady_clock::now() > deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

HWND Shell::Control(int id) { return ::GetDlgItem(Console(), id); }

void Shell::Type(const std::string& text) {
    HWND edit = Control(1006);
    ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ::PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageA(edit, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

void Shell::TypeWide(const std::wstring& text) {
    HWND edit = Control(1006);
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ::PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageA(edit, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

bool Shell::Command(const std::string& text) {
    const std::string line = "edsrvProcess 65535 0 " + Quoted(Trimmed(text));
    const std::size_t before = m_journal.Count(line);
    Type(text);
    return m_journal.WaitForCount(line, before + 1);
}

bool Shell::Sync(const std::string& tag) {
    return Command("rec.journal " + tag) && m_journal.WaitFor("note " + tag);
}

void Shell::MenuCommand(UINT id) { ::SendMessageA(Console(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }

std::string Shell::PaneText() {
    HWND pane = Control(1000);
    std::string text = vt::WindowText(pane);
    for (int i = 0; i < 40; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        std::string again = vt::WindowText(pane);
        if (again == text) break;
        text = std::move(again);
    }
    return text;
}

bool Shell::Close() {
    if (HWND console = Console(std::chrono::seconds(5)))
        ::PostMessageA(console, WM_SYSCOMMAND, SC_CLOSE, 0);
    return WaitExit();
}

bool Shell::WaitExit(std::chrono::milliseconds timeout) {
    return ::WaitForSingleObject(m_info.hProcess, static_cast<DWORD>(timeout.count())) ==
           WAIT_OBJECT_0;
}

DWORD Shell::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

void Shell::Kill() {
    if (Running()) {
        ::TerminateProcess(m_info.hProcess, 99);
        ::WaitForSingleObject(m_info.hProcess, 10000);
    }
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

int IndexOf(const std::vector<std::string>& lines, const std::string& line, int from) {
    for (std::size_t i = static_cast<std::size_t>(from < 0 ? 0 : from); i < lines.size(); ++i)
        if (lines[i] == line) return static_cast<int>(i);
    return -1;
}

std::string Quoted(const std::string& text) { return vt::JournalQuote(text); }

bool ReadMemory(DWORD pid, Memory& memory) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return false;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    const BOOL ok = ::GetProcessMemoryInfo(
        process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    ::CloseHandle(process);
    if (!ok) return false;
    memory.workingSet = counters.WorkingSetSize;
    // Wine leaves PrivateUsage at 0 for another process; the commit charge
    // (PagefileUsage) is the same figure there.
    memory.privateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    return true;
}

LoadClientProcess::LoadClientProcess(int client, int calls, const std::string& directory)
    : m_client(client),
      m_output(directory + "\\load-client-" + std::to_string(client) + ".out") {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = ::CreateFileA(m_output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + m_output);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    const std::string exe = vt::ToWindowsPath(VELMOR_LOAD_CLIENT_EXE);
    std::string line = "\"" + exe + "\" " + std::to_string(client) + " " + std::to_string(calls);
    const BOOL started = ::CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, TRUE,
                                          CREATE_NO_WINDOW, nullptr, directory.c_str(), &startup,
                                          &m_info);
    ::CloseHandle(out);
    if (!started) throw std::runtime_error("cannot start " + exe);
}

LoadClientProcess::~LoadClientProcess() {
    Kill();
    if (m_info.hThread) ::CloseHandle(m_info.hThread);
    if (m_info.hProcess) ::CloseHandle(m_info.hProcess);
}

bool LoadClientProcess::Wait(std::chrono::milliseconds timeout) {
    return ::WaitForSingleObject(m_info.hProcess, static_cast<DWORD>(timeout.count())) ==
           WAIT_OBJECT_0;
}

DWORD LoadClientProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

std::string LoadClientProcess::Output() const { return vt::ReadFileBytes(m_output); }

void LoadClientProcess::Kill() {
    if (m_info.hProcess && ::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_info.hProcess, 99);
        ::WaitForSingleObject(m_info.hProcess, 10000);
    }
}

std::vector<std::string> ClientJournalLines(const std::vector<std::string>& journal, int client) {
    const std::string tag = ClientTag(client);
    const std::string exec = "edsrvProcess 65535 0 \"rec.log 5 " + tag + " ";
    const std::string data = "linktopicProcessClientData 65535 \"" + tag + "\" ";
    const std::string request = "linktopicProcessClientRequest 65535 \"" + tag + "\" ";
    std::vector<std::string> lines;
    for (const std::string& line : journal)
        if (line.rfind(exec, 0) == 0 || line.rfind(data, 0) == 0 || line.rfind(request, 0) == 0)
            lines.push_back(line);
    return lines;
}

std::vector<std::string> ExpectedJournalLines(int client, int calls) {
    std::vector<std::string> lines;
    for (int i = 0; i < calls; ++i) lines.push_back(LoadJournalLine(MakeLoadCall(client, i)));
    return lines;
}

std::vector<std::string> ClientLogLines(const std::vector<std::string>& log, int client) {
    const std::string tag = ClientTag(client);
    const std::string echo = "INFO: rec.log 5 " + tag + " ";
    const std::string logged = "ED: " + tag + " ";
    std::vector<std::string> lines;
    for (const std::string& line : log)
        if (line.rfind(echo, 0) == 0 || line.rfind(logged, 0) == 0) lines.push_back(line);
    return lines;
}

std::vector<std::string> ExpectedLogLines(int client, int calls) {
    std::vector<std::string> lines;
    for (int i = 0; i < calls; i += 3) {
        const LoadCall call = MakeLoadCall(client, i);
        lines.push_back("INFO: " + call.first);
        lines.push_back("ED: " + ClientTag(client) + " e" + std::to_string(i));
    }
    return lines;
}

::testing::AssertionResult SameSequence(const std::vector<std::string>& got,
                                        const std::vector<std::string>& want) {
    const std::size_t common = std::min(got.size(), want.size());
    for (std::size_t i = 0; i < common; ++i)
        if (got[i] != want[i])
            return ::testing::AssertionFailure() << "line " << i << " is \"" << got[i]
                                                 << "\", not \"" << want[i] << "\"";
    if (got.size() != want.size())
        return ::testing::AssertionFailure()
               << got.size() << " lines, not " << want.size() << "; the first "
               << (got.size() < want.size() ? "missing: \"" + want[common] + "\""
                                            : "extra: \"" + got[common] + "\"");
    return ::testing::AssertionSuccess();
}

std::vector<Tick> TicksBetween(const std::vector<std::string>& journal, std::size_t from,
                               std::size_t to) {
    std::vector<Tick> ticks;
    for (std::size_t i = from; i < to && i < journal.size(); ++i) {
        unsigned long long n = 0, t = 0;
        if (std::sscanf(journal[i].c_str(), "pServerTick n=%llu t=%llu", &n, &t) == 2)
            ticks.push_back({n, t});
    }
    return ticks;
}

double TickRate(const std::vector<Tick>& ticks) {
    if (ticks.size() < 2 || ticks.back().t <= ticks.front().t) return 0;
    return static_cast<double>(ticks.back().n - ticks.front().n) * 1e6 /
           static_cast<double>(ticks.back().t - ticks.front().t);
}

namespace {

// A structure of the dump at `rva`, or false where the file is too short.
template <class T>
bool At(const std::string& bytes, std::uint64_t rva, T& out) {
    if (rva + sizeof out > bytes.size()) return false;
    std::memcpy(&out, bytes.data() + rva, sizeof out);
    return true;
}

// The module's name as the dump has it, lower-cased.
std::wstring ModuleName(const std::string& bytes, RVA rva) {
    ULONG32 length = 0;
    if (!At(bytes, rva, length) || rva + 4 + length > bytes.size()) return L"";
    std::wstring name(length / 2, L'\0');
    std::memcpy(name.data(), bytes.data() + rva + 4, name.size() * 2);
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
    return name;
}

}  // namespace

::testing::AssertionResult EndsWithCrashLinesAndDump(const std::vector<std::string>& log,
                                                     const std::string& systemDirectory) {
    if (log.size() < 3) return ::testing::AssertionFailure() << "the log has " << log.size();
    const std::string& caught = log[log.size() - 3];
    if (caught != kCaughtLine) return ::testing::AssertionFailure() << "not caught: " << caught;
    if (!std::regex_match(log[log.size() - 2], kAccessViolationLine))
        return ::testing::AssertionFailure() << "no fault line: " << log[log.size() - 2];
    std::smatch match;
    if (!std::regex_match(log.back(), match, kDumpWrittenLine))
        return ::testing::AssertionFailure() << "no dump line: " << log.back();

    const std::string bytes = ReadFile(systemDirectory + "\\" + match[1].str());
    MINIDUMP_HEADER header{};
    if (!At(bytes, 0, header) || bytes.compare(0, 4, "MDMP") != 0)
        return ::testing::AssertionFailure() << match[1] << " is no minidump";
    bool haveException = false;
    std::uint64_t address = 0;
    std::uint32_t code = 0;
    std::uint64_t engineBase = 0, engineEnd = 0;
    for (ULONG32 i = 0; i < header.NumberOfStreams; ++i) {
        MINIDUMP_DIRECTORY entry{};
        if (!At(bytes, header.StreamDirectoryRva + i * sizeof entry, entry)) break;
        if (entry.StreamType == ExceptionStream) {
            MINIDUMP_EXCEPTION_STREAM stream{};
            if (!At(bytes, entry.Location.Rva, stream)) continue;
            haveException = true;
            code = stream.ExceptionRecord.ExceptionCode;
            address = stream.ExceptionRecord.ExceptionAddress;
        } else if (entry.StreamType == ModuleListStream) {
            ULONG32 count = 0;
            At(bytes, entry.Location.Rva, count);
            for (ULONG32 m = 0; m < count; ++m) {
                MINIDUMP_MODULE module{};
                if (!At(bytes, entry.Location.Rva + 4 + m * sizeof module, module)) break;
                const std::wstring name = ModuleName(bytes, module.ModuleNameRva);
                if (name.size() >= 12 && name.compare(name.size() - 12, 12, L"vmserver.dll") == 0) {
                    engineBase = module.BaseOfImage;
                    engineEnd = module.BaseOfImage + module.SizeOfImage;
                }
            }
        }
    }
    if (!haveException) return ::testing::AssertionFailure() << "no exception stream";
    if (code != EXCEPTION_ACCESS_VIOLATION)
        return ::testing::AssertionFailure() << "exception code " << std::hex << code;
    if (engineEnd == 0) return ::testing::AssertionFailure() << "no vmserver.dll module";
    if (address < engineBase || address >= engineEnd)
        return ::testing::AssertionFailure() << "fault at " << std::hex << address
                                             << " outside the engine " << engineBase << "-"
                                             << engineEnd;
    return ::testing::AssertionSuccess();
}

std::string ScratchDirectory(const std::string& name) {
    const std::string path = vt::ToWindowsPath(VELMOR_SCRATCH_ROOT) + "\\" + name;
    vt::RemoveTree(path);
    ::CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

void CopyShellInto(const std::string& systemDirectory) {
    ::CreateDirectoryA(systemDirectory.c_str(), nullptr);
    const std::pair<const char*, const char*> files[] = {
        {VELMOR_SHELL_EXE, "Velmor.exe"},
        {VELMOR_RECORDER_DLL, "vmserver.dll"},
        {VELMOR_TLB, "Velmor.tlb"}};
    for (const auto& [from, to] : files) {
        const std::string source = vt::ToWindowsPath(from);
        const std::string target = systemDirectory + "\\" + to;
        if (!::CopyFileA(source.c_str(), target.c_str(), FALSE))
            throw std::runtime_error("cannot copy " + source + " to " + target);
    }
}

std::string ReadFile(const std::string& path) { return vt::ReadFileBytes(path); }

void WriteFile(const std::string& path, const std::string& content) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
}

bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace rel
