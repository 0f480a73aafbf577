#include "RconServer.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <utility>

#include "log/Log.h"

namespace remote {

namespace {

constexpr std::size_t kWakeIndex = 0;
constexpr std::size_t kListenerIndex = 1;
constexpr std::size_t kFirstConnectionIndex = 2;
static_assert(kFirstConnectionIndex + kMostConnections <= WSA_MAXIMUM_WAIT_EVENTS);

// The probe's second answer: a reply whose body is these four bytes.
constexpr char kProbeEnd[] = {0, 1, 0, 0};

}  // namespace

RconServer::RconServer(RemoteSettings settings, CommandExchange& exchange, WSAEVENT wake)
    : m_settings(std::move(settings)), m_exchange(exchange), m_wake(wake) {}

RconServer::~RconServer() { Stop(); }

bool RconServer::Listen(std::string& why) {
    const std::string where = m_settings.addressText + ':' + std::to_string(m_settings.port);
    m_listener = UniqueSocket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!m_listener || !m_listenerEvent) {
        why = "no socket could be made (error " + std::to_string(::WSAGetLastError()) + ")";
        return false;
    }
    // No other program may bind the same port while the shell listens on it.
    const BOOL exclusive = TRUE;
    ::setsockopt(m_listener.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                 sizeof exclusive);  // where unsupported, the port is still bound in the ordinary way
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_settings.port);
    address.sin_addr.s_addr = htonl(m_settings.address);
    int length = sizeof address;
    if (::bind(m_listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener.Get(), SOMAXCONN) != 0 ||
        ::getsockname(m_listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::WSAEventSelect(m_listener.Get(), m_listenerEvent.Get(), FD_ACCEPT) != 0) {
        why = "cannot listen on " + where + " (error " + std::to_string(::WSAGetLastError()) + ")";
        m_listener.Close();
        return false;
    }
    m_port = ntohs(address.sin_port);
    return true;
}

bool RconServer::Start(std::string& why) {
    m_stop = false;
    m_thread = fw::UniqueHandle(::CreateThread(nullptr, 0, &RconServer::ThreadEntry, this, 0, nullptr));
    if (!m_thread) {
        why = "its thread could not start (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    return true;
}

void RconServer::Stop() {
    if (m_thread) {
        m_stop = true;
        ::WSASetEvent(m_wake);
        // The thread waits for nothing but its events, so it ends promptly.
        ::WaitForSingleObject(m_thread.Get(), INFINITE);
        m_thread.Close();
    }
    CloseAll();
}

DWORD WINAPI RconServer::ThreadEntry(void* self) {
    auto* server = static_cast<RconServer*>(self);
    try {
        server->Run();
    } catch (...) {
        // Out of memory: no more clients are served, and none is left hanging.
        Log(LogCategory::Info, "Remote console stopped: out of memory");
        try {
            server->CloseAll();
        } catch (...) {
        }
    }
    return 0;
}

void RconServer::Run() {
    std::vector<WSAEVENT> events;
    while (!m_stop) {
        events.assign({m_wake, m_listenerEvent.Get()});
        for (const auto& connection : m_connections) events.push_back(connection->Event());
        const DWORD count = static_cast<DWORD>(events.size());
        DWORD result =
            ::WSAWaitForMultipleEvents(count, events.data(), FALSE, WaitTime(::GetTickCount64()), FALSE);
        if (m_stop) break;
        const std::uint64_t now = ::GetTickCount64();
        // Every signalled event gets one turn, lowest index first, so that a
        // busy connection cannot starve those after it.
        std::size_t next = 0;
        while (result >= WSA_WAIT_EVENT_0 && result < WSA_WAIT_EVENT_0 + count - next) {
            const std::size_t index = next + (result - WSA_WAIT_EVENT_0);
            Handle(index, now);
            next = index + 1;
            if (next == count) break;
            result = ::WSAWaitForMultipleEvents(count - static_cast<DWORD>(next), events.data() + next, FALSE,
                                                0, FALSE);
        }
        CloseIdle(now);
        std::erase_if(m_connections, [](const auto& connection) { return connection->Closed(); });
    }
    CloseAll();
}

DWORD RconServer::WaitTime(std::uint64_t now) const {
    std::uint64_t wait = WSA_INFINITE;
    for (const auto& connection : m_connections)
        if (!connection->signedIn) {
            const std::uint64_t deadline = connection->AcceptedAt() + kSignInTime;
            wait = std::min<std::uint64_t>(wait, deadline > now ? deadline - now : 0);
        }
    return static_cast<DWORD>(wait);
}

void RconServer::Handle(std::size_t index, std::uint64_t now) {
    if (index == kWakeIndex) {
        DeliverReplies(now);  // the wait reset the event
    } else if (index == kListenerIndex) {
        WSANETWORKEVENTS happened{};
        if (::WSAEnumNetworkEvents(m_listener.Get(), m_listenerEvent.Get(), &happened) == 0 &&
            (happened.lNetworkEvents & FD_ACCEPT))
            Accept(now);
    } else {
        RconConnection& connection = *m_connections[index - kFirstConnectionIndex];
        if (!connection.Closed()) Serve(connection, now);
    }
}

void RconServer::Accept(std::uint64_t now) {
    for (;;) {
        sockaddr_in peer{};
        int length = sizeof peer;
        UniqueSocket socket(::accept(m_listener.Get(), reinterpret_cast<sockaddr*>(&peer), &length));
        if (!socket) return;  // none waits: FD_ACCEPT tells of the next
        const std::uint32_t address = ntohl(peer.sin_addr.s_addr);
        if (m_guard.LockedOut(address, now)) {
            socket.Abort();  // logged once, when the lock-out began
            continue;
        }
        const auto live = std::count_if(m_connections.begin(), m_connections.end(),
                                        [](const auto& connection) { return !connection->Closed(); });
        if (live >= m_settings.maxConnections) {
            Logf(LogCategory::Info, "Remote console: %s:%u refused: already %d connections",
                 AddressText(address).c_str(), static_cast<unsigned>(ntohs(peer.sin_port)),
                 m_settings.maxConnections);
            socket.Close();
            continue;
        }
        auto connection = std::make_unique<RconConnection>(std::move(socket), peer, m_nextSerial++, now);
        if (!connection->Ready()) continue;
        m_connections.push_back(std::move(connection));
        // What arrived before its events were selected signals nothing: it
        // is read now.
        Pump(*m_connections.back(), now, true);
    }
}

void RconServer::Serve(RconConnection& connection, std::uint64_t now) {
    WSANETWORKEVENTS happened{};
    if (::WSAEnumNetworkEvents(connection.Socket(), connection.Event(), &happened) != 0) {
        Close(connection, {}, true);
        return;
    }
    if ((happened.lNetworkEvents & FD_WRITE) && !connection.Flush()) {
        Close(connection, {}, true);
        return;
    }
    if (happened.lNetworkEvents & FD_CLOSE) connection.CloseSeen();
    if (happened.lNetworkEvents & (FD_READ | FD_CLOSE)) Pump(connection, now, true);
}

void RconServer::Pump(RconConnection& connection, std::uint64_t now, bool read) {
    for (;;) {
        if (read && !connection.Receive()) {
            Close(connection, {}, true);
            return;
        }
        HandlePackets(connection, now);
        if (connection.Closed() || connection.commandRunning) return;
        read = connection.Full();  // the last read stopped with more waiting
        if (!read) break;
    }
    // What is left is no whole packet, and no more comes.
    if (connection.PeerDone()) Close(connection, {});
}

void RconServer::HandlePackets(RconConnection& connection, std::uint64_t now) {
    Packet packet;
    std::string why;
    while (!connection.Closed() && !connection.commandRunning) {
        switch (connection.Reader().Next(packet, why)) {
        case PacketReader::Result::kNone:
            return;
        case PacketReader::Result::kMalformed:
            Close(connection, "refused: malformed packet (" + why + ")", true);
            return;
        case PacketReader::Result::kPacket:
            HandlePacket(connection, packet, now);
            break;
        }
    }
}

void RconServer::HandlePacket(RconConnection& connection, Packet& packet, std::uint64_t now) {
    if (packet.type == kAuth) {
        SignIn(connection, packet, now);
    } else if (!connection.signedIn) {
        Close(connection, "refused: a packet before signing in", true);
    } else if (packet.type == kExecCommand) {
        connection.commandRunning = true;  // its next packet waits for the reply
        m_exchange.PostCommand({connection.Serial(), packet.id, std::move(packet.body)});
    } else if (packet.type == kResponseValue) {
        // The probe for the end of a split reply: it comes back, then the end mark.
        Send(connection, EncodePacket(packet.id, kResponseValue, packet.body));
        Send(connection,
             EncodePacket(packet.id, kResponseValue, std::string_view(kProbeEnd, sizeof kProbeEnd)));
    } else {
        Close(connection, "refused: a packet of unknown type " + std::to_string(packet.type), true);
    }
}

void RconServer::SignIn(RconConnection& connection, const Packet& packet, std::uint64_t now) {
    const std::uint32_t address = connection.Address();
    if (m_guard.LockedOut(address, now)) {
        // A connection made before the lock-out gets no more tries.
        Close(connection, {}, true);
        return;
    }
    if (SamePassword(packet.body, m_settings.password)) {
        Send(connection, EncodePacket(packet.id, kAuthResponse, {}));
        if (!connection.Closed() && !connection.signedIn) {
            connection.signedIn = true;
            Logf(LogCategory::Info, "Remote console: %s signed in", connection.Peer().c_str());
        }
        return;
    }
    Send(connection, EncodePacket(-1, kAuthResponse, {}));
    Close(connection, "refused: wrong password");
    if (m_guard.Failed(address, now))
        Logf(LogCategory::Info, "Remote console: %s locked out for %d minutes after %d wrong passwords",
             AddressText(address).c_str(), static_cast<int>(SignInGuard::kLockOut / 60'000),
             SignInGuard::kFailures);
}

void RconServer::DeliverReplies(std::uint64_t now) {
    for (RemoteReply& reply : m_exchange.TakeReplies()) {
        const auto found =
            std::find_if(m_connections.begin(), m_connections.end(),
                         [&](const auto& connection) { return connection->Serial() == reply.connection; });
        if (found == m_connections.end() || (*found)->Closed()) continue;  // gone meanwhile
        RconConnection& connection = **found;
        connection.commandRunning = false;
        SendReply(connection, reply.id, reply.text);
        if (!connection.Closed()) Pump(connection, now, false);
    }
}

void RconServer::SendReply(RconConnection& connection, std::int32_t id, const std::string& text) {
    std::size_t at = 0;
    do {
        const std::size_t size = std::min(kMaxBody, text.size() - at);
        Send(connection, EncodePacket(id, kResponseValue, std::string_view(text).substr(at, size)));
        at += size;
    } while (at < text.size() && !connection.Closed());
}

void RconServer::Send(RconConnection& connection, std::string packet) {
    if (connection.Closed()) return;
    if (!connection.Send(std::move(packet))) {
        Close(connection, {}, true);
    } else if (connection.Unsent() > kMostUnsent) {
        Close(connection,
              "closed: over " + std::to_string(kMostUnsent) + " bytes unsent (the client does not read)", true);
    }
}

void RconServer::CloseIdle(std::uint64_t now) {
    for (const auto& connection : m_connections)
        if (!connection->Closed() && !connection->signedIn && now - connection->AcceptedAt() >= kSignInTime)
            Close(*connection, "closed: not signed in within " + std::to_string(kSignInTime / 1000) + " s",
                  true);
}

void RconServer::Close(RconConnection& connection, const std::string& why, bool abortive) {
    if (connection.Closed()) return;
    if (!why.empty()) Logf(LogCategory::Info, "Remote console: %s %s", connection.Peer().c_str(), why.c_str());
    if (connection.signedIn)
        Logf(LogCategory::Info, "Remote console: %s signed out", connection.Peer().c_str());
    connection.Close(abortive);
}

void RconServer::CloseAll() {
    for (const auto& connection : m_connections) Close(*connection, {});
    m_connections.clear();
    m_listener.Close();
}

}  // namespace remote
