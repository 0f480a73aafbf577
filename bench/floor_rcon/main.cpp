// The remote console's floor: a bare Winsock server that answers the same
// framing with no engine and no GUI thread behind it. AUTH is answered with
// its id; a command "rec.log 1 TEXT" with the reply the shell gives it,
// "INFO: TEXT" and a line end, straight from the connection's own thread.
// Listens on 127.0.0.1, any free port, which it writes to the file named by
// its argument; runs until it is ended.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

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
            reply = Packet(id, 0, "INFO: " + text + "\n");
        }
        if (::send(s, reply.data(), static_cast<int>(reply.size()), 0) != static_cast<int>(reply.size())) break;
    }
    ::closesocket(s);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
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
