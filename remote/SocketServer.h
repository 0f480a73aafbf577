// A TCP server's sockets, all on one thread of their own, whatever protocol
// they speak: the listener, the connections and their limits, the time-outs,
// and the refusal log. A protocol plugs in as a handler that reads its
// framing from a connection's input and answers through the server. The loop
// never blocks: it waits on network events, gives every connection a bounded
// turn, and sees the stop flag between turns.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Connection.h"
#include "RefusalLog.h"
#include "UniqueHandle.h"
#include "Winsock.h"
#include "engine/Statistics.h"

namespace remote {

struct ServerLimits {
    int maxConnections = 8;
    // Connections from one address not signed in yet, unless it has signed in before.
    int mostWaitingPerAddress = 2;
    // Slots that addresses which have never signed in do not take: the last
    // two, or fewer where there are fewer than five in all.
    int reserved = 2;
    std::uint64_t signInTime = 10'000;         // a connection not signed in by then is closed
    std::uint64_t idleTime = 0;                // a signed-in one quiet this long is closed; 0 = never
    std::size_t mostUnsent = 1024 * 1024;      // a client that does not read is closed at this
    // What a connection closed at signInTime failed to do, for its line.
    const char* lateWhy = "not signed in";
    Refusal lateKind = Refusal::kSignInTime;
    // Sign-ins, sign-outs and idle closes logged, and a signed-in client's
    // refusals whole; off for a protocol whose "sign-in" is only its first
    // request answered, whose clients all stay strangers to the log.
    bool logSessions = true;
};

// What the server has seen, for anyone to read at any time (the metrics
// read the remote console's).
using ServerCounters = stats::RemoteCounters;

class SocketServer;

// A protocol, called on the socket thread.
class ProtocolHandler {
public:
    // Why a new connection from `address` is refused now; "" lets it in.
    virtual std::string Admit(std::uint32_t address, std::uint64_t now) = 0;
    // True for an address that has signed in before: it may use the reserved slots.
    virtual bool Known(std::uint32_t address) const = 0;
    // Handles a bounded number of whole requests from connection.Input().
    // True when more may be left for its next turn.
    virtual bool Serve(Connection& connection, std::uint64_t now) = 0;
    // The wake-up event was set: answers made elsewhere are ready.
    virtual void Wake(std::uint64_t now) = 0;
    // Once a round; true while something waits that wants another round soon.
    virtual bool Poll() = 0;
    // A connection is about to close: words for its close line, or "".
    virtual std::string Closing(Connection& connection) = 0;

protected:
    ~ProtocolHandler() = default;
};

class SocketServer {
public:
    // `name` starts every log line ("Remote console"); `wake` (auto-reset,
    // not owned) is set by other threads when the handler has work.
    SocketServer(const char* name, ServerLimits limits, ProtocolHandler& handler, ServerCounters& counters,
                 WSAEVENT wake);
    ~SocketServer();
    SocketServer(const SocketServer&) = delete;
    SocketServer& operator=(const SocketServer&) = delete;

    // Binds and listens, on the calling thread; false with `why` when the
    // address or port cannot be used.
    bool Listen(std::uint32_t address, std::uint16_t port, std::string& why);
    std::uint16_t Port() const { return m_port; }
    // Starts the socket thread; false with `why` when it cannot start.
    bool Start(std::string& why);
    // Closes the listener and every connection and ends the thread.
    void Stop();

    // For the handler, on the socket thread.
    void Send(Connection& connection, std::string packet);
    // Closes, logging `why` first when given; a signed-in client signs out.
    void Close(Connection& connection, const std::string& why, bool abortive = false);
    // Closes for something a stranger did: logged within the refusal log's
    // limits (whole for a signed-in client, where sign-ins are logged).
    void Refuse(Connection& connection, Refusal kind, const std::string& why, bool abortive = true);
    // Logs "<name>: <line>" within the refusal log's limits.
    void NoteRefusal(std::uint32_t address, Refusal kind, const std::string& line);
    void SignedIn(Connection& connection);
    // A connection that was busy is ready for its input again.
    void Resume(Connection& connection);
    Connection* Find(std::uint64_t serial);

    // Most connections taken from the listener in one round of the loop.
    static constexpr int kMostAcceptsPerRound = 32;

private:
    static DWORD WINAPI ThreadEntry(void* self);
    void Run();
    DWORD WaitTime(std::uint64_t now) const;
    // True when connections may still wait to be taken.
    bool Accept(std::uint64_t now);
    void Admit(UniqueSocket socket, const sockaddr_in& peer, std::uint64_t now);
    // One connection's turn; true when it has more to do at once.
    bool Turn(Connection& connection, std::uint64_t now);
    void CloseQuiet(std::uint64_t now);
    void LogDueRefusals(std::uint64_t now, bool all);
    void CloseAll();

    const std::string m_name;
    const ServerLimits m_limits;
    ProtocolHandler& m_handler;
    ServerCounters& m_counters;
    WSAEVENT m_wake;  // not owned
    UniqueSocket m_listener;
    UniqueEvent m_listenerEvent;
    std::uint16_t m_port = 0;
    std::vector<std::unique_ptr<Connection>> m_connections;
    std::uint64_t m_nextSerial = 1;
    std::size_t m_firstTurn = 0;  // who goes first in a round, in turn
    bool m_stranded = false;      // the handler's Poll wants another round soon
    RefusalLog m_refusals;
    std::atomic<bool> m_stop{false};
    fw::UniqueHandle m_thread;
};

}  // namespace remote
