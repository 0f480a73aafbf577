// The metrics endpoint's floor: a bare Winsock server that answers every
// HTTP/1.1 request on a kept-alive connection with 200 and a fixed text body
// of BODY_BYTES bytes, straight from the connection's own thread, without
// reading the request beyond its blank line. Listens on 127.0.0.1, any free
// port, which it writes to PORT_FILE; runs until it is ended.
//
// usage: floor_metrics PORT_FILE BODY_BYTES
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string g_reply;  // the head and the body, the same for every request

DWORD WINAPI Serve(void* parameter) {
    const SOCKET s = reinterpret_cast<SOCKET>(parameter);
    const BOOL noDelay = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    std::string pending;
    char chunk[8192];
    for (;;) {
        const int n = ::recv(s, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        pending.append(chunk, static_cast<std::size_t>(n));
        std::size_t end;
        bool sent = true;
        while (sent && (end = pending.find("\r\n\r\n")) != std::string::npos) {
            pending.erase(0, end + 4);
            sent = ::send(s, g_reply.data(), static_cast<int>(g_reply.size()), 0) == static_cast<int>(g_reply.size());
        }
        if (!sent) break;
    }
    ::closesocket(s);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const long bodyBytes = std::atol(argv[2]);
    if (bodyBytes <= 0) return 2;
    std::string body(static_cast<std::size_t>(bodyBytes), 'x');
    for (std::size_t i = 63; i < body.size(); i += 64) body[i] = '\n';  // lines, as a scrape has
    g_reply = "HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\nContent-Length: " +
              std::to_string(body.size()) + "\r\n\r\n" + body;

    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return 1;
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
