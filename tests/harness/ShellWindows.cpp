#include "ShellWindows.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace vt {

namespace {

// Reads a journal string in double quotes starting at `at`; moves past it.
std::string ReadQuoted(const std::string& line, size_t& at) {
    std::string out;
    if (at >= line.size() || line[at] != '"') throw std::runtime_error("bad journal line: " + line);
    for (++at; at < line.size() && line[at] != '"'; ++at) {
        char c = line[at];
        if (c == '\\' && at + 1 < line.size()) {
            c = line[++at];
            if (c == 'r')
                c = '\r';
            else if (c == 'n')
                c = '\n';
            else if (c == 't')
                c = '\t';
            else if (c == 'x' && at + 2 < line.size()) {
                c = static_cast<char>(std::strtoul(line.substr(at + 1, 2).c_str(), nullptr, 16));
                at += 2;
            }
        }
        out += c;
    }
    ++at;  // the closing quote
    return out;
}

// The value after `key` (e.g. "id="), up to the next blank.
std::string Field(const std::string& line, const std::string& key, size_t& at) {
    at = line.find(key, at);
    if (at == std::string::npos) throw std::runtime_error("no " + key + " in " + line);
    at += key.size();
    const size_t end = line.find(' ', at);
    std::string value = line.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? line.size() : end;
    return value;
}

MenuItem ParseMenuLine(const std::string& line) {
    MenuItem item{};
    size_t at = 0;
    item.window = std::strtoul(Field(line, "hwnd=", at).c_str(), nullptr, 16);
    at = line.find("popup=", at) + 6;
    item.popup = ReadQuoted(line, at);
    item.id = std::atoi(Field(line, "id=", at).c_str());
    at = line.find("text=", at) + 5;
    item.text = ReadQuoted(line, at);
    item.state =
        static_cast<unsigned>(std::strtoul(Field(line, "state=", at).c_str(), nullptr, 16));
    return item;
}

}  // namespace

std::vector<HWND> CameraWindows(ShellProcess& shell) {
    return TopLevelWindows(shell.Id(), kCameraTitle);
}

HWND NewCamera(ShellProcess& shell) {
    const std::vector<HWND> before = CameraWindows(shell);
    shell.MenuCommand(32784);  // Window, "&New Camera"
    for (int i = 0; i < 250; ++i) {
        for (HWND window : CameraWindows(shell))
            if (std::find(before.begin(), before.end(), window) == before.end()) return window;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

void ChooseMenuItem(HWND window, UINT id) {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_NORMAL, 20000, &ignored);
}

SIZE ClientSize(HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

RECT WindowRect(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
}

bool IsTopmost(HWND window) { return (::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

bool WaitForFocus(HWND window, std::chrono::milliseconds timeout) {
    const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (::GetGUIThreadInfo(thread, &info) && info.hwndFocus == window) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

void Click(HWND window) {
    const LPARAM at = MAKELPARAM(4, 4);
    ::PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageA(window, WM_LBUTTONUP, 0, at);
}

bool ClickText(HWND edit) {
    const int length = static_cast<int>(::SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0));
    const int at = LOWORD(::SendMessageA(edit, EM_CHARFROMPOS, 0, MAKELPARAM(4, 4)));
    if (at == length) return false;  // the caret there would not tell the click came
    ::SendMessageA(edit, EM_SETSEL, length, length);
    Click(edit);
    return WaitUntil([&] {
        const LRESULT selection = ::SendMessageA(edit, EM_GETSEL, 0, 0);
        return LOWORD(selection) == at && HIWORD(selection) == at;
    }) && WaitForFocus(edit);
}

void PressKeys(HWND window, std::initializer_list<WORD> keys) {
    ::SetForegroundWindow(window);
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *key;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void PostKey(HWND window, WORD key) {
    const UINT scan = ::MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
    ::PostMessageA(window, WM_KEYDOWN, key, 1 | (scan << 16));
    ::PostMessageA(window, WM_KEYUP, key, 0xC0000001 | (scan << 16));
}

std::vector<MenuItem> WaitForPopupMenu(ShellProcess& shell, std::size_t fromLine,
                                       std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        // The lines of one tick lie between its "pServerTick" line and the
        // next: the last such block that holds pop-up items is whole.
        const std::vector<std::string> lines = shell.EngineJournal().Lines();
        std::vector<MenuItem> whole;
        std::vector<MenuItem> current;
        for (std::size_t i = fromLine; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            if (line.compare(0, 12, "pServerTick ") == 0) {
                if (!current.empty()) whole = current;
                current.clear();
            } else if (line.compare(0, 5, "menu ") == 0 && line.find("popup=\"#32768\"") != std::string::npos) {
                current.push_back(ParseMenuLine(line));
            }
        }
        if (!whole.empty()) return whole;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    } while (std::chrono::steady_clock::now() < deadline);
    return {};
}

std::vector<MenuItem> ReadMenus(ShellProcess& shell) {
    shell.Command("rec.window");
    // The engine journals inside the command's call; once the console answers
    // another message, the call has returned and every line is written.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(shell.Console(), WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored);
    const std::vector<std::string> lines = shell.EngineJournal().Lines();
    const std::string marker = "edsrvProcess 65535 0 \"rec.window\"";
    size_t start = lines.size();
    for (size_t i = lines.size(); i-- > 0;)
        if (lines[i] == marker) {
            start = i + 1;
            break;
        }
    std::vector<MenuItem> items;
    for (size_t i = start; i < lines.size(); ++i)
        if (lines[i].compare(0, 5, "menu ") == 0) items.push_back(ParseMenuLine(lines[i]));
    return items;
}

std::vector<MenuItem> MenuOf(const std::vector<MenuItem>& menus, HWND window) {
    std::vector<MenuItem> items;
    const auto value = static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window));
    for (const MenuItem& item : menus)
        if (item.window == value) items.push_back(item);
    return items;
}

unsigned ItemState(const std::vector<MenuItem>& menus, HWND window, int id) {
    for (const MenuItem& item : MenuOf(menus, window))
        if (item.id == id) return item.state;
    throw std::runtime_error("no menu item " + std::to_string(id));
}

}  // namespace vt
