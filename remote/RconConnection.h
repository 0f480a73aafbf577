// One client's connection, on the socket thread: its socket and network
// event, the packets arriving and the packets waiting to go out.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <deque>
#include <string>

#include "RconPacket.h"
#include "Winsock.h"

namespace remote {

class RconConnection {
public:
    // Takes `socket` and makes it non-blocking, its events signalled on Event().
    RconConnection(UniqueSocket socket, const sockaddr_in& peer, std::uint64_t serial, std::uint64_t now);
    bool Ready() const { return m_ready; }

    SOCKET Socket() const { return m_socket.Get(); }
    WSAEVENT Event() const { return m_event.Get(); }
    std::uint64_t Serial() const { return m_serial; }
    std::uint32_t Address() const { return m_address; }  // host byte order
    const std::string& Peer() const { return m_peer; }   // "a.b.c.d:port"
    std::uint64_t AcceptedAt() const { return m_acceptedAt; }

    // Reads what has arrived, unless kReadAhead bytes already wait. False on
    // a failed connection.
    bool Receive();
    bool PeerDone() const { return m_peerDone; }  // the peer sent its last byte
    void CloseSeen() { m_closeSeen = true; }      // FD_CLOSE came: read to the end
    bool Full() const { return m_full; }          // the last read stopped at kReadAhead
    PacketReader& Reader() { return m_reader; }

    // Queues a packet and sends what the socket takes now, each packet in a
    // send of its own. False on a failed connection.
    bool Send(std::string packet);
    // Sends what waits; false on a failed connection.
    bool Flush();
    std::size_t Unsent() const { return m_unsent; }

    void Close(bool abortive);
    bool Closed() const { return !m_socket; }

    bool signedIn = false;
    bool commandRunning = false;  // a command of it is queued or running on the GUI thread

    static constexpr std::size_t kReadAhead = 64 * 1024;

private:
    UniqueSocket m_socket;
    UniqueEvent m_event;
    bool m_ready = false;
    std::uint64_t m_serial;
    std::uint32_t m_address;
    std::string m_peer;
    std::uint64_t m_acceptedAt;
    PacketReader m_reader;
    bool m_peerDone = false;
    bool m_closeSeen = false;
    bool m_full = false;
    std::deque<std::string> m_output;
    std::size_t m_sentOfFirst = 0;  // bytes of m_output.front() already sent
    std::size_t m_unsent = 0;
};

// "a.b.c.d" of an address in host byte order.
std::string AddressText(std::uint32_t address);

}  // namespace remote
