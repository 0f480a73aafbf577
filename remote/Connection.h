// One client's connection, on the socket thread, whatever its protocol: its
// socket and network event, the bytes arriving and the packets waiting to go
// out.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <deque>
#include <string>

#include "InputBuffer.h"
#include "Winsock.h"

namespace remote {

class Connection {
public:
    // Takes `socket`, makes it non-blocking with its events signalled on
    // Event(), and sets keep-alive probes on it.
    Connection(UniqueSocket socket, const sockaddr_in& peer, std::uint64_t serial, std::uint64_t now);
    bool Ready() const { return m_ready; }
    // Sets the socket up for replies of any size; until then a stranger's
    // connection costs as little as it can.
    void PrepareForReplies();

    SOCKET Socket() const { return m_socket.Get(); }
    WSAEVENT Event() const { return m_event.Get(); }
    std::uint64_t Serial() const { return m_serial; }
    std::uint32_t Address() const { return m_address; }  // host byte order
    const std::string& Peer() const { return m_peer; }   // "a.b.c.d:port"
    std::uint64_t AcceptedAt() const { return m_acceptedAt; }
    std::uint64_t LastHeard() const { return m_lastHeard; }

    // One read of at most kTurnBytes, unless kReadAhead bytes already wait.
    // False on a failed connection.
    bool Receive(std::uint64_t now);
    bool PeerDone() const { return m_peerDone; }  // the peer sent its last byte
    void CloseSeen() { m_closeSeen = true; }      // FD_CLOSE came: read to the end
    // More may wait in the socket: the last read filled its buffer, or the
    // peer has closed and its end has not been read yet.
    bool MoreToRead() const { return m_moreToRead; }
    InputBuffer& Input() { return m_input; }

    // Queues a packet and sends what the socket takes now, each packet in a
    // send of its own. False on a failed connection.
    bool Send(std::string packet);
    // Sends what waits; false on a failed connection.
    bool Flush();
    // What the queued packets hold in memory, their bookkeeping included.
    std::size_t Unsent() const { return m_unsent; }

    void Close(bool abortive);
    bool Closed() const { return !m_socket; }

    bool signedIn = false;
    bool busy = false;   // its handler waits for an answer from elsewhere; its input waits meanwhile
    bool again = false;  // it has more to do: served in the next round without waiting for an event
    bool heardWhileBusy = false;  // input came while it was busy: read once it is not

    static constexpr std::size_t kTurnBytes = 16 * 1024;
    static constexpr std::size_t kReadAhead = 64 * 1024;

private:
    UniqueSocket m_socket;
    UniqueEvent m_event;
    bool m_ready = false;
    std::uint64_t m_serial;
    std::uint32_t m_address;
    std::string m_peer;
    std::uint64_t m_acceptedAt;
    std::uint64_t m_lastHeard;
    InputBuffer m_input;
    bool m_peerDone = false;
    bool m_closeSeen = false;
    bool m_moreToRead = false;
    std::deque<std::string> m_output;
    std::size_t m_sentOfFirst = 0;  // bytes of m_output.front() already sent
    std::size_t m_unsent = 0;
};

// "a.b.c.d" of an address in host byte order.
std::string AddressText(std::uint32_t address);

}  // namespace remote
