#include "SocketServer.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <utility>

#include "log/Log.h"

namespace remote {

namespace {

constexpr std::size_t kWakeIndex = 0;
constexpr std::size_t kListenerIndex = 1;
constexpr std::size_t kFirstConnectionIndex = 2;
static_assert(kFirstConnectionIndex + 62 <= WSA_MAXIMUM_WAIT_EVENTS);

// The longest wait: refusal counts fall due, and the listener is tried again
// even when no FD_ACCEPT came (Wine does not always signal one again while
// connections still wait).
constexpr std::uint64_t kLongestWait = 250;
// How soon the handler is asked again while work of its waits (a post that
// found the GUI thread's queue full).
constexpr std::uint64_t kRetryWait = 20;

}  // namespace

SocketServer::SocketServer(const char* name, ServerLimits limits, ProtocolHandler& handler,
                           ServerCounters& counters, WSAEVENT wake)
    : m_name(name), m_limits(limits), m_handler(handler), m_counters(counters), m_wake(wake) {}

SocketServer::~SocketServer() { Stop(); }

bool SocketServer::Listen(std::uint32_t address, std::uint16_t port, std::string& why) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = htonl(address);
    m_listener = UniqueSocket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!m_listener || !m_listenerEvent) {
        why = "no socket could be made (error " + std::to_string(::WSAGetLastError()) + ")";
        return false;
    }
    // No other program may bind the same port while the shell listens on it.
    const BOOL exclusive = TRUE;
    ::setsockopt(m_listener.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                 sizeof exclusive);  // where unsupported, the port is still bound in the ordinary way
    int length = sizeof where;
    if (::bind(m_listener.Get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(m_listener.Get(), SOMAXCONN) != 0 ||
        ::getsockname(m_listener.Get(), reinterpret_cast<sockaddr*>(&where), &length) != 0 ||
        ::WSAEventSelect(m_listener.Get(), m_listenerEvent.Get(), FD_ACCEPT) != 0) {
        why = "cannot listen on " + AddressText(address) + ':' + std::to_string(port) + " (error " +
              std::to_string(::WSAGetLastError()) + ")";
        m_listener.Close();
        return false;
    }
    m_port = ntohs(where.sin_port);
    return true;
}

bool SocketServer::Start(std::string& why) {
    m_stop = false;
    m_thread = fw::UniqueHandle(::CreateThread(nullptr, 0, &SocketServer::ThreadEntry, this, 0, nullptr));
    if (!m_thread) {
        why = "its thread could not start (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    return true;
}

void SocketServer::Stop() {
    if (m_thread) {
        m_stop = true;
        ::WSASetEvent(m_wake);
        // Every turn in the loop is bounded, so the thread ends promptly.
        ::WaitForSingleObject(m_thread.Get(), INFINITE);
        m_thread.Close();
    }
    CloseAll();
}

DWORD WINAPI SocketServer::ThreadEntry(void* self) {
    auto* server = static_cast<SocketServer*>(self);
    try {
        server->Run();
    } catch (...) {
        // Out of memory: no more clients are served, and none is left hanging.
        Logf(LogCategory::Info, "%s stopped: out of memory", server->m_name.c_str());
        try {
            server->CloseAll();
        } catch (...) {
        }
    }
    return 0;
}

void SocketServer::Run() {
    std::vector<WSAEVENT> events;
    bool again = false;  // work is left from the last round: look, do not wait
    bool acceptMore = false;
    std::uint64_t nextAcceptTry = 0;
    while (!m_stop) {
        events.assign({m_wake, m_listenerEvent.Get()});
        for (const auto& connection : m_connections) events.push_back(connection->Event());
        const DWORD wait = again ? 0 : WaitTime(::GetTickCount64());
        const DWORD result =
            ::WSAWaitForMultipleEvents(static_cast<DWORD>(events.size()), events.data(), FALSE, wait, FALSE);
        if (result == WSA_WAIT_FAILED) {
            Logf(LogCategory::Info, "%s stopped: waiting for network events failed (error %d)", m_name.c_str(),
                 ::WSAGetLastError());
            break;
        }
        if (m_stop) break;
        const std::uint64_t now = ::GetTickCount64();
        // The wake-up event is the first: when it is set, the wait returns it
        // and resets it.
        if (result == WSA_WAIT_EVENT_0 + kWakeIndex) m_handler.Wake(now);
        // The listener is tried when it says so, while it may hold more, and
        // every kLongestWait whatever it says.
        again = false;
        if (result == WSA_WAIT_EVENT_0 + kListenerIndex || acceptMore || now >= nextAcceptTry) {
            acceptMore = Accept(now);
            again = acceptMore;
            nextAcceptTry = now + kLongestWait;
        }
        // Each connection gets one bounded turn a round, and a different one
        // goes first each round.
        const std::size_t count = m_connections.size();
        for (std::size_t k = 0; k < count && !m_stop; ++k) {
            Connection& connection = *m_connections[(m_firstTurn + k) % count];
            if (!connection.Closed() && Turn(connection, now)) again = true;
        }
        m_firstTurn = count ? (m_firstTurn + 1) % count : 0;
        CloseQuiet(now);
        LogDueRefusals(now, false);
        m_stranded = m_handler.Poll();
        std::erase_if(m_connections, [](const auto& connection) { return connection->Closed(); });
        for (const auto& connection : m_connections)
            if (connection->again) again = true;
        if (again) ::Sleep(0);  // the GUI thread's work goes first where it waits
    }
    CloseAll();
}

DWORD SocketServer::WaitTime(std::uint64_t now) const {
    std::uint64_t deadline = now + (m_stranded ? kRetryWait : kLongestWait);
    for (const auto& connection : m_connections) {
        if (!connection->signedIn)
            deadline = std::min(deadline, connection->AcceptedAt() + m_limits.signInTime);
        else if (m_limits.idleTime && !connection->busy)
            deadline = std::min(deadline, connection->LastHeard() + m_limits.idleTime);
    }
    return static_cast<DWORD>(deadline > now ? deadline - now : 0);
}

bool SocketServer::Accept(std::uint64_t now) {
    WSANETWORKEVENTS happened{};
    // Resets the listener's event; accept is tried whatever it says.
    ::WSAEnumNetworkEvents(m_listener.Get(), m_listenerEvent.Get(), &happened);
    for (int i = 0; i < kMostAcceptsPerRound; ++i) {
        sockaddr_in peer{};
        int length = sizeof peer;
        UniqueSocket socket(::accept(m_listener.Get(), reinterpret_cast<sockaddr*>(&peer), &length));
        if (socket) {
            Admit(std::move(socket), peer, now);
            continue;
        }
        const int error = ::WSAGetLastError();
        // A connection that its peer reset before it was taken fails alone;
        // the ones behind it still wait. Anything else is tried again next
        // round, within kLongestWait.
        if (error != WSAECONNRESET && error != WSAECONNABORTED) return false;
    }
    return true;
}

void SocketServer::Admit(UniqueSocket socket, const sockaddr_in& peer, std::uint64_t now) {
    const std::uint32_t address = ntohl(peer.sin_addr.s_addr);
    std::string why = m_handler.Admit(address, now);
    int live = 0;
    int waitingHere = 0;
    for (const auto& connection : m_connections) {
        if (connection->Closed()) continue;
        ++live;
        if (!connection->signedIn && connection->Address() == address) ++waitingHere;
    }
    const int reserved = std::min(m_limits.reserved, (m_limits.maxConnections - 1) / 2);
    if (!why.empty()) {
    } else if (live >= m_limits.maxConnections) {
        why = "refused: already " + std::to_string(m_limits.maxConnections) + " connections";
    } else if (waitingHere >= m_limits.mostWaitingPerAddress && !m_handler.Known(address)) {
        why = "refused: " + std::to_string(waitingHere) + " connections from it wait to sign in";
    } else if (live >= m_limits.maxConnections - reserved && !m_handler.Known(address)) {
        why = "refused: the last " + std::to_string(reserved) +
              " connections are kept for addresses that have signed in before";
    }
    if (!why.empty()) {
        ++m_counters.refusals;
        if (m_refusals.Note(address, Refusal::kConnection, now))
            Logf(LogCategory::Info, "%s: %s:%u %s", m_name.c_str(), AddressText(address).c_str(),
                 static_cast<unsigned>(ntohs(peer.sin_port)), why.c_str());
        socket.Abort();
        return;
    }
    auto connection = std::make_unique<Connection>(std::move(socket), peer, m_nextSerial++, now);
    if (!connection->Ready()) return;
    ++m_counters.connectionsOpen;
    // What arrived before its events were selected signals nothing: it is
    // read in its first turn.
    connection->again = true;
    m_connections.push_back(std::move(connection));
}

bool SocketServer::Turn(Connection& connection, std::uint64_t now) {
    WSANETWORKEVENTS happened{};
    if (::WSAEnumNetworkEvents(connection.Socket(), connection.Event(), &happened) != 0) {
        Close(connection, {}, true);
        return false;
    }
    if ((happened.lNetworkEvents & FD_WRITE) && !connection.Flush()) {
        Close(connection, {}, true);
        return false;
    }
    if (happened.lNetworkEvents & FD_CLOSE) {
        connection.CloseSeen();
        // A peer gone while its request waits for an answer wants none.
        if (connection.busy) {
            Close(connection, {});
            return false;
        }
    }
    const bool heard = (happened.lNetworkEvents & (FD_READ | FD_CLOSE)) != 0;
    if (!heard && !connection.again) return false;
    connection.again = false;
    // Its input waits while it is busy; Resume brings it back.
    if (connection.busy) {
        connection.heardWhileBusy = connection.heardWhileBusy || heard;
        return false;
    }
    if (!connection.Receive(now)) {
        Close(connection, {}, true);
        return false;
    }
    const bool left = m_handler.Serve(connection, now);
    if (connection.Closed() || connection.busy) return false;
    if (left || connection.MoreToRead()) {
        connection.again = true;
        return true;
    }
    // What is left is no whole request, and no more comes.
    if (connection.PeerDone()) Close(connection, {});
    return false;
}

void SocketServer::CloseQuiet(std::uint64_t now) {
    for (const auto& connection : m_connections) {
        if (connection->Closed()) continue;
        if (!connection->signedIn && now - connection->AcceptedAt() >= m_limits.signInTime) {
            Refuse(*connection, m_limits.lateKind,
                   std::string("closed: ") + m_limits.lateWhy + " within " +
                       std::to_string(m_limits.signInTime / 1000) + " s");
        } else if (connection->signedIn && m_limits.idleTime && !connection->busy &&
                   now - connection->LastHeard() >= m_limits.idleTime) {
            const std::uint64_t minutes = m_limits.idleTime / 60'000;
            Close(*connection, !m_limits.logSessions ? std::string()
                                                     : "closed: nothing heard for " + std::to_string(minutes) +
                                                           (minutes == 1 ? " minute" : " minutes"));
        }
    }
}

void SocketServer::LogDueRefusals(std::uint64_t now, bool all) {
    for (const std::string& line : m_refusals.Due(now, all))
        Logf(LogCategory::Info, "%s: %s", m_name.c_str(), line.c_str());
}

void SocketServer::Send(Connection& connection, std::string packet) {
    if (connection.Closed()) return;
    if (!connection.Send(std::move(packet))) {
        Close(connection, {}, true);
    } else if (connection.Unsent() > m_limits.mostUnsent) {
        Refuse(connection, Refusal::kConnection,
              "closed: over " + std::to_string(m_limits.mostUnsent) + " bytes unsent (the client does not read)",
              true);
    }
}

void SocketServer::Close(Connection& connection, const std::string& why, bool abortive) {
    if (connection.Closed()) return;
    const std::string more = m_handler.Closing(connection);
    if (!why.empty())
        Logf(LogCategory::Info, "%s: %s %s%s", m_name.c_str(), connection.Peer().c_str(), why.c_str(),
             connection.signedIn ? "" : more.c_str());
    if (connection.signedIn && m_limits.logSessions)
        Logf(LogCategory::Info, "%s: %s signed out%s", m_name.c_str(), connection.Peer().c_str(), more.c_str());
    connection.Close(abortive);
    --m_counters.connectionsOpen;
}

void SocketServer::Refuse(Connection& connection, Refusal kind, const std::string& why, bool abortive) {
    if (connection.Closed()) return;
    if (connection.signedIn && m_limits.logSessions) {
        Close(connection, why, abortive);
        return;
    }
    ++m_counters.refusals;
    const bool whole = m_refusals.Note(connection.Address(), kind, ::GetTickCount64());
    Close(connection, whole ? why : std::string(), abortive);
}

void SocketServer::NoteRefusal(std::uint32_t address, Refusal kind, const std::string& line) {
    if (m_refusals.Note(address, kind, ::GetTickCount64()))
        Logf(LogCategory::Info, "%s: %s", m_name.c_str(), line.c_str());
}

void SocketServer::SignedIn(Connection& connection) {
    connection.signedIn = true;
    connection.PrepareForReplies();
    ++m_counters.signIns;
    if (m_limits.logSessions) Logf(LogCategory::Info, "%s: %s signed in", m_name.c_str(), connection.Peer().c_str());
}

void SocketServer::Resume(Connection& connection) {
    // Read on where something came meanwhile or whole requests may wait.
    connection.again = connection.heardWhileBusy || connection.Input().Size() != 0 || connection.MoreToRead();
    connection.heardWhileBusy = false;
}

Connection* SocketServer::Find(std::uint64_t serial) {
    for (const auto& connection : m_connections)
        if (connection->Serial() == serial && !connection->Closed()) return connection.get();
    return nullptr;
}

void SocketServer::CloseAll() {
    for (const auto& connection : m_connections) Close(*connection, {});
    m_connections.clear();
    m_listener.Close();
    LogDueRefusals(::GetTickCount64(), true);
}

}  // namespace remote
