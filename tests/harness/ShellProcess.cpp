#include "ShellProcess.h"

#include <stdexcept>
#include <thread>

namespace vt {

namespace {

ProcessStart WithJournalVariable(const ShellStart& start) {
    return {start.exe, start.arguments, start.directory, start.showWindow, nullptr, nullptr,
            {{"VELMOR_JOURNAL", start.journal}}};
}

ProcessStart InTree(const ScratchTree& tree, const std::string& arguments,
                    std::optional<WORD> showWindow) {
    return {tree.System() + "\\Velmor.exe", arguments, tree.Root(), showWindow, nullptr, nullptr, {}};
}

void PressEnter(HWND edit) {
    // Enter goes through the console's modal loop, which makes it a click on
    // the default button, as for a key pressed by the user.
    ::PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageA(edit, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

std::string Trimmed(const std::string& text) {
    const char* space = " \t\n\v\f\r";
    const size_t first = text.find_first_not_of(space);
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(space) + 1 - first);
}

}  // namespace

ShellStart StartIn(const ScratchTree& tree, const std::string& arguments) {
    return {tree.System() + "\\Velmor.exe", arguments, tree.Root(), tree.System() + "\\recorder.journal"};
}

ShellProcess::ShellProcess(const ScratchTree& tree, const std::string& arguments,
                           std::optional<WORD> showWindow)
    : m_journal(tree.System() + "\\recorder.journal"),
      m_process(InTree(tree, arguments, showWindow)),
      m_closeAtEnd(false) {
    if (!m_process.Started())
        throw std::runtime_error("cannot start " + tree.System() + "\\Velmor.exe: error " +
                                 std::to_string(m_process.LastError()));
}

ShellProcess::ShellProcess(const ShellStart& start)
    : m_journal(start.journal), m_process(WithJournalVariable(start)), m_closeAtEnd(start.closeAtEnd) {
    if (!m_process.Started())
        throw std::runtime_error("cannot start " + start.exe + " in " + start.directory + ": error " +
                                 std::to_string(m_process.LastError()));
}

ShellProcess::~ShellProcess() {
    if (m_closeAtEnd && Running()) Close();
    Kill();
}

bool ShellProcess::Running() const { return m_process.Running(); }

void ShellProcess::Kill() { m_process.Kill(); }

HWND ShellProcess::Console(std::chrono::milliseconds timeout) {
    if (m_console && ::IsWindow(m_console)) return m_console;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Running()) {
        if (HWND found = FindConsoleWindow(Id())) return m_console = found;
        if (std::chrono::steady_clock::now() > deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

HWND ShellProcess::Control(int id) { return ::GetDlgItem(Console(), id); }

bool ShellProcess::WaitEngineStarted(std::chrono::milliseconds timeout) {
    return m_journal.WaitFor("pInitAll", timeout);
}

bool ShellProcess::Type(const std::string& text) {
    HWND edit = Control(1006);
    if (!edit) return false;
    ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    PressEnter(edit);
    return true;
}

bool ShellProcess::TypeWide(const std::wstring& text) {
    HWND edit = Control(1006);
    if (!edit) return false;
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    PressEnter(edit);
    return true;
}

void ShellProcess::Command(const std::string& text) {
    if (!TryCommand(text)) throw std::runtime_error("the engine did not receive " + text);
}

bool ShellProcess::TryCommand(const std::string& text) {
    // The console hands the engine the text without surrounding white space.
    const std::string line = "edsrvProcess 65535 0 " + JournalQuote(Trimmed(text));
    const size_t before = m_journal.Count(line);
    return Type(text) && m_journal.WaitForCount(line, before + 1);
}

bool ShellProcess::Sync(const std::string& tag) {
    return TryCommand("rec.journal " + tag) && m_journal.WaitFor("note " + tag);
}

bool ShellProcess::MenuCommand(UINT id, std::chrono::milliseconds timeout) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(Console(), WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_NORMAL,
                                 static_cast<UINT>(timeout.count()), &result) != 0;
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

bool ShellProcess::WaitExit(std::chrono::milliseconds timeout) { return m_process.WaitExit(timeout); }

DWORD ShellProcess::ExitCode() const { return m_process.ExitCode(); }

bool ShellProcess::Close(std::chrono::milliseconds timeout) {
    if (HWND console = Console(std::chrono::seconds(5)))
        ::PostMessageA(console, WM_SYSCOMMAND, SC_CLOSE, 0);
    return WaitExit(timeout);
}

}  // namespace vt
