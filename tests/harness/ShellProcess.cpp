#include "ShellProcess.h"

#include <stdexcept>
#include <thread>

namespace vt {

ShellProcess::ShellProcess(const ScratchTree& tree, const std::string& arguments)
    : m_journal(tree.System() + "\\recorder.journal") {
    const std::string exe = tree.System() + "\\Velmor.exe";
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          tree.Root().c_str(), &startup, &m_info))
        throw std::runtime_error("cannot start " + exe);
}

ShellProcess::~ShellProcess() {
    Kill();
    if (m_info.hThread) ::CloseHandle(m_info.hThread);
    if (m_info.hProcess) ::CloseHandle(m_info.hProcess);
}

bool ShellProcess::Running() const {
    return ::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT;
}

void ShellProcess::Kill() {
    if (m_info.hProcess && Running()) {
        ::TerminateProcess(m_info.hProcess, 99);
        ::WaitForSingleObject(m_info.hProcess, 10000);
    }
}

namespace {

struct FindConsole {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindConsoleProc(HWND window, LPARAM param) {
    auto* find = reinterpret_cast<FindConsole*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != find->pid) return TRUE;
    char title[64] = {};
    ::GetWindowTextA(window, title, sizeof title);
    if (std::string(title) != "Velmor Console") return TRUE;
    find->found = window;
    return FALSE;
}

}  // namespace

std::string WindowText(HWND window) {
    const LRESULT length = ::SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied =
        ::SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

HWND ShellProcess::Console(std::chrono::milliseconds timeout) {
    if (m_console && ::IsWindow(m_console)) return m_console;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline && Running()) {
        FindConsole find{Id(), nullptr};
        ::EnumWindows(&FindConsoleProc, reinterpret_cast<LPARAM>(&find));
        if (find.found) return m_console = find.found;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

HWND ShellProcess::Control(int id) { return ::GetDlgItem(Console(), id); }

bool ShellProcess::WaitEngineStarted() { return m_journal.WaitFor("pInitAll"); }

void ShellProcess::Type(const std::string& text) {
    HWND edit = Control(1006);
    ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    // Enter goes through the console's modal loop, which makes it a click on
    // the default button, as for a key pressed by the user.
    ::PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageA(edit, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

void ShellProcess::Command(const std::string& text) {
    // The console hands the engine the text without surrounding white space.
    const char* space = " \t\n\v\f\r";
    const size_t first = text.find_first_not_of(space);
    const std::string trimmed =
        first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(space) + 1 - first);
    const std::string line = "edsrvProcess 65535 0 " + JournalQuote(trimmed);
    const size_t before = m_journal.Count(line);
    Type(text);
    if (!m_journal.WaitForCount(line, before + 1))
        throw std::runtime_error("the engine did not receive " + text);
}

void ShellProcess::MenuCommand(UINT id) {
    ::SendMessageA(Console(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

std::string ShellProcess::PaneText() {
    // The console brings lines to its pane in bursts, at most every 50 ms:
    // read until two reads a while apart agree.
    HWND pane = Control(1000);
    std::string text = WindowText(pane);
    for (int i = 0; i < 40; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        std::string again = WindowText(pane);
        if (again == text) break;
        text = std::move(again);
    }
    return text;
}

std::string ShellProcess::CommandLineText() { return WindowText(Control(1006)); }

bool ShellProcess::WaitExit(std::chrono::milliseconds timeout) {
    return ::WaitForSingleObject(m_info.hProcess, static_cast<DWORD>(timeout.count())) ==
           WAIT_OBJECT_0;
}

DWORD ShellProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

bool ShellProcess::Close() {
    if (HWND console = Console(std::chrono::seconds(5)))
        ::PostMessageA(console, WM_SYSCOMMAND, SC_CLOSE, 0);
    return WaitExit();
}

}  // namespace vt
