#include "ShellRun.h"

#include <thread>

#include "ShellWindowFind.h"

namespace bench {

namespace {

constexpr int kCommandLineId = 1006;

}  // namespace

ShellRun::ShellRun(const std::string& root, const std::string& arguments)
    : m_root(root), m_journal(root + "\\System\\recorder.journal") {
    if (!m_root.empty())
        m_process = std::make_unique<Child>(m_root + "\\System\\Velmor.exe", arguments, m_root);
}

bool ShellRun::WaitEngineStarted(std::chrono::milliseconds timeout) {
    return Started() && m_journal.WaitStarted(timeout);
}

HWND ShellRun::Console(std::chrono::milliseconds timeout) {
    if (m_console && ::IsWindow(m_console)) return m_console;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Started() && m_process->Running()) {
        if (HWND console = vt::FindConsoleWindow(m_process->Id())) return m_console = console;
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

bool ShellRun::Type(const std::string& text) {
    HWND edit = ::GetDlgItem(Console(), kCommandLineId);
    if (!edit) return false;
    ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    // Enter goes through the console's modal loop, which makes it a click on
    // the default button, as for a key pressed by the user.
    ::PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageA(edit, WM_KEYUP, VK_RETURN, 0xC01C0001);
    return true;
}

bool ShellRun::MenuCommand(UINT id, std::chrono::milliseconds timeout) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(Console(), WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_NORMAL,
                                 static_cast<UINT>(timeout.count()), &result) != 0;
}

int ShellRun::WindowCount() const {
    if (!m_process) return 0;
    return static_cast<int>(vt::TopLevelWindows(m_process->Id()).size());
}

bool ShellRun::Close(std::chrono::milliseconds timeout) {
    if (!Started()) return false;
    if (HWND console = Console(std::chrono::seconds(5)))
        ::PostMessageA(console, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (m_process->WaitExit(timeout)) return true;
    m_process->Kill();
    return false;
}

}  // namespace bench
