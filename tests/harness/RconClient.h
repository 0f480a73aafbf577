// A raw remote console client for the protocol's edges: it sends any bytes,
// and reads packets framed by their size field, each with a time limit.
// Written from the protocol's public description, apart from the product.
#pragma once

#include <winsock2.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace vt {

class ShellProcess;

struct RconPacket {
    std::int32_t id = 0;
    std::int32_t type = 0;
    std::string body;  // without the two NULs
};

// size, id, type, body, NUL, NUL; little-endian.
std::string RconBytes(std::int32_t id, std::int32_t type, const std::string& body);

class RconClient {
public:
    // Connects to 127.0.0.1:port from the loopback address `from`; with
    // `receiveBuffer`, the socket's receive buffer is made that small first.
    explicit RconClient(std::uint16_t port, const char* from = "127.0.0.1", int receiveBuffer = 0);
    ~RconClient();
    RconClient(const RconClient&) = delete;
    RconClient& operator=(const RconClient&) = delete;

    bool Connected() const { return m_socket != INVALID_SOCKET; }
    // "address:port" of this end, as the shell names its peer.
    std::string Local() const;
    bool SendBytes(const std::string& bytes);
    bool Send(std::int32_t id, std::int32_t type, const std::string& body) {
        return SendBytes(RconBytes(id, type, body));
    }
    // The next packet; nothing on time-out or when the connection ends.
    std::optional<RconPacket> Read(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // True when the server ends the connection within `timeout`; packets
    // that come first are dropped.
    bool WaitClosed(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // AUTH with `id`; true when the one answer is AUTH_RESPONSE with that id.
    bool SignIn(const std::string& password, std::int32_t id = 1);
    // EXECCOMMAND, and the reply's one packet (short replies).
    std::optional<std::string> Command(const std::string& text, std::int32_t id = 2);

private:
    bool Fill(std::size_t count, std::chrono::steady_clock::time_point deadline);

    SOCKET m_socket = INVALID_SOCKET;
    std::string m_buffer;
    bool m_ended = false;
};

inline constexpr char kRemoteConsoleListening[] = "INFO: Remote console listening on 127.0.0.1:";

// The port of the pane's line "<mark><port>" ("INFO: Remote console
// listening on 127.0.0.1:<port>" unless told), waiting for it; 0 when it
// does not come.
std::uint16_t ListeningPort(ShellProcess& shell, std::chrono::milliseconds timeout = std::chrono::seconds(30),
                            const std::string& mark = kRemoteConsoleListening);

}  // namespace vt
