// Owners of Winsock's handles: the library itself (WSAStartup), a socket and
// a network event object.
#pragma once

#include <winsock2.h>

#include <utility>

namespace remote {

class WinsockSession {
public:
    WinsockSession() {
        WSADATA data;
        m_started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        if (m_started) ::WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

    explicit operator bool() const { return m_started; }

private:
    bool m_started = false;
};

class UniqueSocket {
public:
    UniqueSocket() = default;
    explicit UniqueSocket(SOCKET socket) : m_socket(socket) {}
    ~UniqueSocket() { Close(); }
    UniqueSocket(UniqueSocket&& other) noexcept : m_socket(std::exchange(other.m_socket, INVALID_SOCKET)) {}
    UniqueSocket& operator=(UniqueSocket&& other) noexcept {
        std::swap(m_socket, other.m_socket);
        return *this;
    }

    SOCKET Get() const { return m_socket; }
    explicit operator bool() const { return m_socket != INVALID_SOCKET; }
    // Closes at once, dropping what the system still holds to send (the peer
    // sees a reset): for a peer that is not reading.
    void Abort() {
        if (m_socket == INVALID_SOCKET) return;
        const linger now{1, 0};
        ::setsockopt(m_socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&now), sizeof now);
        Close();
    }
    // Closes; the system still sends what it holds, then ends the connection.
    void Close() {
        if (m_socket != INVALID_SOCKET) ::closesocket(std::exchange(m_socket, INVALID_SOCKET));
    }

private:
    SOCKET m_socket = INVALID_SOCKET;
};

class UniqueEvent {
public:
    UniqueEvent() : m_event(::WSACreateEvent()) {}
    ~UniqueEvent() {
        if (m_event != WSA_INVALID_EVENT) ::WSACloseEvent(m_event);
    }
    UniqueEvent(const UniqueEvent&) = delete;
    UniqueEvent& operator=(const UniqueEvent&) = delete;

    WSAEVENT Get() const { return m_event; }
    explicit operator bool() const { return m_event != WSA_INVALID_EVENT; }

private:
    WSAEVENT m_event;
};

}  // namespace remote
