#include "OleShell.h"

#include <tlhelp32.h>

#include <stdexcept>
#include <thread>
#include <vector>

#include "ShellProcess.h"
#include "ShellWindowFind.h"

namespace vt {
namespace {

// Closes one shell's console and waits; kills it if it does not end.
bool EndShell(DWORD pid, std::chrono::milliseconds timeout) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    if (!process) return true;  // already gone
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool ended = false;
    bool posted = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        if (!posted) {
            if (HWND console = FindConsoleWindow(pid)) {
                ::PostMessageA(console, WM_SYSCOMMAND, SC_CLOSE, 0);
                posted = true;
            }
        }
        ended = ::WaitForSingleObject(process, 50) == WAIT_OBJECT_0;
    }
    if (!ended) {
        ::TerminateProcess(process, 99);
        ::WaitForSingleObject(process, 10000);
    }
    ::CloseHandle(process);
    return ended;
}

}  // namespace

OleShell::OleShell(const std::string& name)
    : m_tree(name), m_journal(m_tree.System() + "\\recorder.journal") {
    EndShells(m_tree);  // one left running from an earlier run would take the requests
    Register();
}

void OleShell::Register() {
    if (!RegisterShell(m_tree)) throw std::runtime_error("registration did not end");
}

OleShell::~OleShell() { EndShells(m_tree); }

DWORD OleShell::WaitShellPid(std::chrono::milliseconds timeout) {
    if (!m_journal.WaitFor("load pid=", timeout)) return 0;
    return std::stoul(m_journal.Matching("load pid=").front().substr(9));
}

HWND OleShell::Console() {
    const DWORD pid = WaitShellPid(std::chrono::seconds(0));
    return pid ? FindConsoleWindow(pid) : nullptr;
}

bool OleShell::CloseConsole(std::chrono::milliseconds timeout) {
    const DWORD pid = WaitShellPid(timeout);
    return pid && EndShell(pid, timeout);
}

bool RegisterShell(const ScratchTree& tree, std::chrono::milliseconds timeout) {
    ShellProcess registration(tree, "/REGISTER");
    return registration.WaitExit(timeout);
}

ClientDirectory::ClientDirectory(const ScratchTree& tree) {
    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    m_previous = previous;
    ::SetCurrentDirectoryA(tree.Root().c_str());
}

ClientDirectory::~ClientDirectory() { ::SetCurrentDirectoryA(m_previous.c_str()); }

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string ImagePath(DWORD pid) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return {};
    char path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    const BOOL ok = ::QueryFullProcessImageNameA(process, 0, path, &size);
    ::CloseHandle(process);
    std::string result = ok ? path : "";
    if (result.rfind("\\\\?\\", 0) == 0) result.erase(0, 4);
    return result;
}

}  // namespace

std::vector<DWORD> ShellProcessIds(const ScratchTree& tree) {
    const std::string exe = Lower(tree.System() + "\\Velmor.exe");
    std::vector<DWORD> ids;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = ::Process32First(snapshot, &entry); ok; ok = ::Process32Next(snapshot, &entry))
        if (!::lstrcmpiA(entry.szExeFile, "Velmor.exe") && Lower(ImagePath(entry.th32ProcessID)) == exe)
            ids.push_back(entry.th32ProcessID);
    ::CloseHandle(snapshot);
    return ids;
}

void EndShells(const ScratchTree& tree) {
    for (DWORD pid : ShellProcessIds(tree)) EndShell(pid, std::chrono::seconds(20));
}

}  // namespace vt
