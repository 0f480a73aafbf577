#include "Connection.h"

#include <mstcpip.h>
#include <ws2tcpip.h>

#include <utility>

namespace remote {

namespace {

// What a queued packet holds: the string itself and its buffer.
std::size_t Held(const std::string& packet) { return sizeof(std::string) + packet.capacity(); }

}  // namespace

std::string AddressText(std::uint32_t address) {
    return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xFF) + '.' +
           std::to_string((address >> 8) & 0xFF) + '.' + std::to_string(address & 0xFF);
}

Connection::Connection(UniqueSocket socket, const sockaddr_in& peer, std::uint64_t serial, std::uint64_t now)
    : m_socket(std::move(socket)),
      m_serial(serial),
      m_address(ntohl(peer.sin_addr.s_addr)),
      m_peer(AddressText(m_address) + ':' + std::to_string(ntohs(peer.sin_port))),
      m_acceptedAt(now),
      m_lastHeard(now) {
    // A peer whose machine sleeps or whose route is gone is found out: probes
    // after a minute of silence, every 10 s, and the system ends the
    // connection when they go unanswered.
    tcp_keepalive keepAlive{1, 60'000, 10'000};
    DWORD returned = 0;
    ::WSAIoctl(m_socket.Get(), SIO_KEEPALIVE_VALS, &keepAlive, sizeof keepAlive, nullptr, 0, &returned, nullptr,
               nullptr);  // where unsupported, the idle time-out still frees the slot
    m_ready = m_event && ::WSAEventSelect(m_socket.Get(), m_event.Get(), FD_READ | FD_WRITE | FD_CLOSE) == 0;
}

void Connection::PrepareForReplies() {
    // Replies go out as they are made, not held back for more to send.
    const BOOL noDelay = TRUE;
    ::setsockopt(m_socket.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                 sizeof noDelay);
    // A fixed send buffer, so that what a client does not read waits here,
    // where it is counted against the cap, rather than in a buffer the system
    // may grow to megabytes.
    const int sendBuffer = 64 * 1024;
    ::setsockopt(m_socket.Get(), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&sendBuffer),
                 sizeof sendBuffer);
}

bool Connection::Receive(std::uint64_t now) {
    m_moreToRead = false;
    if (m_peerDone) return true;
    if (m_input.Size() >= kReadAhead) {
        m_moreToRead = true;  // read on once packets have been taken
        return true;
    }
    char buffer[kTurnBytes];
    const int n = ::recv(m_socket.Get(), buffer, sizeof buffer, 0);
    if (n > 0) {
        m_input.Append(buffer, static_cast<std::size_t>(n));
        m_lastHeard = now;
        // A read short of the buffer took all there was, and re-armed FD_READ
        // for what comes next. Once the peer has closed no FD_READ comes:
        // then reading goes on to the end.
        m_moreToRead = n == static_cast<int>(sizeof buffer) || m_closeSeen;
        return true;
    }
    if (n == 0) {
        m_peerDone = true;
        return true;
    }
    return ::WSAGetLastError() == WSAEWOULDBLOCK;  // the next FD_READ tells of more
}

bool Connection::Send(std::string packet) {
    m_unsent += Held(packet);
    m_output.push_back(std::move(packet));
    return Flush();
}

bool Connection::Flush() {
    while (!m_output.empty()) {
        const std::string& packet = m_output.front();
        const int n = ::send(m_socket.Get(), packet.data() + m_sentOfFirst,
                             static_cast<int>(packet.size() - m_sentOfFirst), 0);
        if (n == SOCKET_ERROR) return ::WSAGetLastError() == WSAEWOULDBLOCK;  // FD_WRITE comes when it can
        m_sentOfFirst += static_cast<std::size_t>(n);
        if (m_sentOfFirst == packet.size()) {
            m_unsent -= Held(packet);
            m_output.pop_front();
            m_sentOfFirst = 0;
        }
    }
    return true;
}

void Connection::Close(bool abortive) {
    if (abortive) {
        m_socket.Abort();
    } else {
        Flush();  // what the socket takes now; the system sends it before the end
        m_socket.Close();
    }
    m_output.clear();
    m_unsent = 0;
}

}  // namespace remote
