#include "RconClient.h"

#include <ws2tcpip.h>

#include <cstdlib>
#include <cstring>

#include "ShellProcess.h"
#include "Wait.h"

namespace vt {

namespace {

void Put(std::string& out, std::int32_t value) {
    char bytes[4];
    std::memcpy(bytes, &value, 4);  // little-endian, as Windows runs
    out.append(bytes, 4);
}

std::int32_t Get(const char* at) {
    std::int32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

struct Winsock {
    Winsock() {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~Winsock() { ::WSACleanup(); }
};

}  // namespace

std::string RconBytes(std::int32_t id, std::int32_t type, const std::string& body) {
    std::string out;
    Put(out, static_cast<std::int32_t>(body.size() + 10));
    Put(out, id);
    Put(out, type);
    out += body;
    out.append(2, '\0');
    return out;
}

RconClient::RconClient(std::uint16_t port, const char* from, int receiveBuffer) {
    static Winsock winsock;
    m_socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_socket == INVALID_SOCKET) return;
    if (receiveBuffer > 0)
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer),
                     sizeof receiveBuffer);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &local.sin_addr);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
    const BOOL noDelay = TRUE;
    ::setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    if (::bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(m_socket, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        ::closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
}

std::string RconClient::Local() const {
    sockaddr_in local{};
    int length = sizeof local;
    if (!Connected() || ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &length) != 0) return "";
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
    return std::string(text) + ':' + std::to_string(ntohs(local.sin_port));
}

RconClient::~RconClient() {
    if (m_socket == INVALID_SOCKET) return;
    // Says it is done and waits a moment for the shell to close its side: by
    // then the shell has let the connection go, and the next client is not
    // counted against MaxConnections with it.
    if (!m_ended && ::shutdown(m_socket, SD_SEND) == 0) WaitClosed(std::chrono::seconds(2));
    ::closesocket(m_socket);
}

bool RconClient::SendBytes(const std::string& bytes) {
    return Connected() &&
           ::send(m_socket, bytes.data(), static_cast<int>(bytes.size()), 0) == static_cast<int>(bytes.size());
}

bool RconClient::Fill(std::size_t count, std::chrono::steady_clock::time_point deadline) {
    while (m_buffer.size() < count && !m_ended && Connected()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() < 0) return false;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_socket, &readable);
        timeval wait{static_cast<long>(left.count() / 1000), static_cast<long>(left.count() % 1000) * 1000};
        if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) return false;
        char chunk[16384];
        const int n = ::recv(m_socket, chunk, sizeof chunk, 0);
        if (n <= 0) {
            m_ended = true;  // closed, or reset
            break;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
    return m_buffer.size() >= count;
}

std::optional<RconPacket> RconClient::Read(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    if (!Fill(4, deadline)) return std::nullopt;
    const std::int32_t size = Get(m_buffer.data());
    if (size < 10 || !Fill(4 + static_cast<std::size_t>(size), deadline)) return std::nullopt;
    RconPacket packet{Get(m_buffer.data() + 4), Get(m_buffer.data() + 8),
                      m_buffer.substr(12, static_cast<std::size_t>(size) - 10)};
    m_buffer.erase(0, 4 + static_cast<std::size_t>(size));
    return packet;
}

bool RconClient::WaitClosed(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!m_ended) {
        m_buffer.clear();
        if (!Fill(1, deadline) && !m_ended) return false;
    }
    return true;
}

bool RconClient::SignIn(const std::string& password, std::int32_t id) {
    if (!Send(id, 3, password)) return false;
    const std::optional<RconPacket> answer = Read();
    return answer && answer->type == 2 && answer->id == id && answer->body.empty();
}

std::optional<std::string> RconClient::Command(const std::string& text, std::int32_t id) {
    if (!Send(id, 2, text)) return std::nullopt;
    const std::optional<RconPacket> reply = Read();
    if (!reply || reply->type != 0 || reply->id != id) return std::nullopt;
    return reply->body;
}

std::uint16_t ListeningPort(ShellProcess& shell, std::chrono::milliseconds timeout, const std::string& mark) {
    std::uint16_t port = 0;
    WaitUntil(
        [&] {
            const std::string pane = shell.PaneText();
            const std::size_t at = pane.find(mark);
            if (at != std::string::npos)
                port = static_cast<std::uint16_t>(std::strtoul(pane.c_str() + at + mark.size(), nullptr, 10));
            return port != 0;
        },
        timeout);
    return port;
}

}  // namespace vt
