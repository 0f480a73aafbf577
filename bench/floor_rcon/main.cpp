// The remote console's floor: a bare Winsock server that answers the same
// framing with no engine behind it. AUTH is answered with its id; a command
// "rec.log 1 TEXT" with the reply the shell gives it, "INFO: TEXT" and a line
// end, straight from the connection's own thread. With -Echo, it does the
// work the shell does besides the engine: each command is posted to a window
// thread, as the shell runs remote commands on its GUI thread, which logs
// the echo and the reply line as Exec's echo floor does (EchoLog.h: a
// buffered file, and a window painted after the ticks of a 28 ms timer) and
// sets an event that the connection's thread waits for. A path after -Echo
// names the file where that thread writes the time of each of its ticks.
// Listens on 127.0.0.1, any free port, which it writes to the file named by
// its first argument; runs until it is ended.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "EchoLog.h"

namespace {

constexpr UINT kCommandMessage = WM_APP + 1;
HWND g_window = nullptr;             // the window thread's, with -Echo
const char* g_ticksPath = nullptr;  // where it writes its ticks, if anywhere

// A command handed to the window thread; its reply comes back in `text`.
struct Handoff {
    std::string text;
    HANDLE done = nullptr;
};

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kCommandMessage) return ::DefWindowProcA(window, message, wParam, lParam);
    auto* handoff = reinterpret_cast<Handoff*>(lParam);
    floor_server::EchoLine(handoff->text);
    floor_server::EchoLine(handoff->text);  // the reply's line
    handoff->text = "INFO: " + handoff->text + "\n";
    ::SetEvent(handoff->done);
    return 0;
}

DWORD WINAPI WindowThread(void* ready) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "FloorRconRunner";
    ::RegisterClassA(&windowClass);
    if (!floor_server::StartEchoLog(windowClass.hInstance, "floor-rcon-echo.log", g_ticksPath)) {
        ::SetEvent(static_cast<HANDLE>(ready));
        return 1;
    }
    g_window = ::CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, nullptr);
    ::SetEvent(static_cast<HANDLE>(ready));
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
    return 0;
}

std::string CommandReply(const std::string& text, HANDLE done) {
    if (!g_window) return "INFO: " + text + "\n";
    Handoff handoff{text, done};
    if (!::PostMessageA(g_window, kCommandMessage, 0, reinterpret_cast<LPARAM>(&handoff)) ||
        ::WaitForSingleObject(done, INFINITE) != WAIT_OBJECT_0)
        return {};
    return std::move(handoff.text);
}

bool ReadExactly(SOCKET s, char* out, int count) {
    while (count > 0) {
        const int n = ::recv(s, out, count, 0);
        if (n <= 0) return false;
        out += n;
        count -= n;
    }
    return true;
}

std::string Packet(std::int32_t id, std::int32_t type, const std::string& body) {
    std::string out(12, '\0');
    const std::int32_t size = static_cast<std::int32_t>(body.size()) + 10;
    std::memcpy(&out[0], &size, 4);
    std::memcpy(&out[4], &id, 4);
    std::memcpy(&out[8], &type, 4);
    out += body;
    out.append(2, '\0');
    return out;
}

DWORD WINAPI Serve(void* parameter) {
    const SOCKET s = reinterpret_cast<SOCKET>(parameter);
    const BOOL noDelay = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    static const std::string kPrefix = "rec.log 1 ";
    char header[12];
    char body[4096 + 2];
    const HANDLE done = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    while (ReadExactly(s, header, 4)) {
        std::int32_t size = 0, id = 0, type = 0;
        std::memcpy(&size, header, 4);
        if (size < 10 || size > 4106 || !ReadExactly(s, header + 4, 8) || !ReadExactly(s, body, size - 8))
            break;
        std::memcpy(&id, header + 4, 4);
        std::memcpy(&type, header + 8, 4);
        std::string text(body, ::strnlen(body, static_cast<std::size_t>(size - 10)));
        std::string reply;
        if (type == 3) {
            reply = Packet(id, 2, "");
        } else {
            if (text.compare(0, kPrefix.size(), kPrefix) == 0) text.erase(0, kPrefix.size());
            reply = Packet(id, 0, CommandReply(text, done));
        }
        if (::send(s, reply.data(), static_cast<int>(reply.size()), 0) != static_cast<int>(reply.size())) break;
    }
    ::closesocket(s);
    if (done) ::CloseHandle(done);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return 1;
    if (argc > 2 && std::strcmp(argv[2], "-Echo") == 0) {
        if (argc > 3) g_ticksPath = argv[3];
        const HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        const HANDLE thread = ready ? ::CreateThread(nullptr, 0, &WindowThread, ready, 0, nullptr) : nullptr;
        if (!thread || ::WaitForSingleObject(ready, 10000) != WAIT_OBJECT_0 || !g_window) return 1;
        ::CloseHandle(thread);  // it runs until the floor is ended
        ::CloseHandle(ready);
    }
    const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (listener == INVALID_SOCKET ||
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, SOMAXCONN) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 1;
    // Written whole under another name, then renamed: the driver never reads half a port.
    const std::string temporary = std::string(argv[1]) + ".new";
    if (FILE* file = std::fopen(temporary.c_str(), "wb")) {
        std::fprintf(file, "%u", static_cast<unsigned>(ntohs(address.sin_port)));
        std::fclose(file);
        ::MoveFileExA(temporary.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING);
    }
    for (;;) {
        const SOCKET s = ::accept(listener, nullptr, nullptr);
        if (s == INVALID_SOCKET) break;
        if (HANDLE thread = ::CreateThread(nullptr, 0, &Serve, reinterpret_cast<void*>(s), 0, nullptr))
            ::CloseHandle(thread);
        else
            ::closesocket(s);
    }
    return 0;
}
