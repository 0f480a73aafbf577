// The remote console's sockets, all on one thread of their own: the listener
// and every connection, served by a non-blocking loop on network events.
// Commands go to the GUI thread through the exchange; the loop never waits
// for it.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CommandExchange.h"
#include "RconConnection.h"
#include "RemoteSettings.h"
#include "SignInGuard.h"
#include "UniqueHandle.h"
#include "Winsock.h"

namespace remote {

class RconServer {
public:
    RconServer(RemoteSettings settings, CommandExchange& exchange, WSAEVENT wake);
    ~RconServer();
    RconServer(const RconServer&) = delete;
    RconServer& operator=(const RconServer&) = delete;

    // Binds and listens, on the calling thread; false with `why` when the
    // address or port cannot be used.
    bool Listen(std::string& why);
    std::uint16_t Port() const { return m_port; }
    // Starts the socket thread; false with `why` when it cannot start.
    bool Start(std::string& why);
    // Closes the listener and every connection and ends the thread.
    void Stop();

    // Most bytes waiting to go out on one connection: a client that stops
    // reading is closed when it reaches this.
    static constexpr std::size_t kMostUnsent = 1024 * 1024;
    // A connection not signed in by then is closed.
    static constexpr std::uint64_t kSignInTime = 10'000;

private:
    static DWORD WINAPI ThreadEntry(void* self);
    void Run();
    DWORD WaitTime(std::uint64_t now) const;
    void Handle(std::size_t index, std::uint64_t now);
    void Accept(std::uint64_t now);
    void Serve(RconConnection& connection, std::uint64_t now);
    // Reads (when `read`) and handles packets until a command runs, nothing
    // more waits, or the connection closes.
    void Pump(RconConnection& connection, std::uint64_t now, bool read);
    void HandlePackets(RconConnection& connection, std::uint64_t now);
    void HandlePacket(RconConnection& connection, Packet& packet, std::uint64_t now);
    void SignIn(RconConnection& connection, const Packet& packet, std::uint64_t now);
    void DeliverReplies(std::uint64_t now);
    void SendReply(RconConnection& connection, std::int32_t id, const std::string& text);
    void Send(RconConnection& connection, std::string packet);
    void CloseIdle(std::uint64_t now);
    // Closes, logging `why` first when given; a signed-in client signs out.
    void Close(RconConnection& connection, const std::string& why, bool abortive = false);
    void CloseAll();

    RemoteSettings m_settings;
    CommandExchange& m_exchange;
    WSAEVENT m_wake;  // auto-reset: replies are ready, or Stop was asked; not owned
    UniqueSocket m_listener;
    UniqueEvent m_listenerEvent;
    std::uint16_t m_port = 0;
    std::vector<std::unique_ptr<RconConnection>> m_connections;
    std::uint64_t m_nextSerial = 1;
    SignInGuard m_guard;
    std::atomic<bool> m_stop{false};
    fw::UniqueHandle m_thread;
};

}  // namespace remote
