// The remote console's protocol on the socket server: sign-in with the
// password and the lock-outs, commands handed to the GUI thread through the
// exchange, their replies split into packets, and the probe for the end of a
// split reply.
#pragma once

#include <cstdint>
#include <string>

#include "CommandExchange.h"
#include "RconPacket.h"
#include "SignInGuard.h"
#include "SocketServer.h"

namespace remote {

class RconHandler : public ProtocolHandler {
public:
    // `server` is only used once the socket thread runs.
    RconHandler(std::string password, CommandExchange& exchange, SocketServer& server, ServerCounters& counters)
        : m_password(std::move(password)), m_exchange(exchange), m_server(server), m_counters(counters) {}

    std::string Admit(std::uint32_t address, std::uint64_t now) override;
    bool Known(std::uint32_t address) const override { return m_guard.Known(address); }
    bool Serve(Connection& connection, std::uint64_t now) override;
    void Wake(std::uint64_t now) override;
    bool Poll() override { return m_exchange.Nudge(); }
    std::string Closing(Connection& connection) override;

    // Most packets handled in one turn of a connection.
    static constexpr int kMostPacketsPerTurn = 32;

private:
    void Handle(Connection& connection, Packet& packet, std::uint64_t now);
    void SignIn(Connection& connection, const Packet& packet, std::uint64_t now);
    void SendReply(Connection& connection, std::int32_t id, const std::string& text);

    const std::string m_password;
    CommandExchange& m_exchange;
    SocketServer& m_server;
    ServerCounters& m_counters;
    SignInGuard m_guard;
};

}  // namespace remote
