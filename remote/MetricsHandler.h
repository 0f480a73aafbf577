// The metrics endpoint's protocol on the socket server: HTTP through one
// MetricsHttp per connection, the figures rendered on the socket thread.
// HTTP has no sign-in: a connection counts as signed in once its first
// request has been answered, so the server's sign-in time is the time to send
// that first request; each later request gets the same time from its first
// byte, counted here. Every client is a stranger: no slot is reserved and no
// address is held to fewer than the most connections (scrapers and
// attackers on one host share its address), and every refusal goes through
// the server's refusal log, whoever was answered before (the limits say so).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "MetricsHttp.h"
#include "SocketServer.h"

namespace remote {

class MetricsHandler : public ProtocolHandler {
public:
    // `render` makes the body of GET /metrics; `server` is only used once
    // the socket thread runs.
    MetricsHandler(std::function<std::string()> render, SocketServer& server)
        : m_render(std::move(render)), m_server(server) {}

    // The endpoint's limits for its server.
    static ServerLimits Limits();

    std::string Admit(std::uint32_t, std::uint64_t) override { return {}; }
    bool Known(std::uint32_t) const override { return false; }
    bool Serve(Connection& connection, std::uint64_t now) override;
    void Wake(std::uint64_t) override {}
    bool Poll() override;
    std::string Closing(Connection&) override { return {}; }

    static constexpr int kMostConnections = 8;
    static constexpr std::uint64_t kRequestTime = 5'000;  // to send one request head
    static constexpr std::uint64_t kIdleTime = 120'000;   // between requests: over a minute-long scrape interval
    // Bytes handed to the reader at a time; a turn ends with its first reply,
    // so one connection's pipelined requests cost a few renders a turn at most.
    static constexpr std::size_t kFeedBytes = 128;

private:
    struct Peer {
        MetricsHttp http;
        std::uint64_t requestSince = 0;  // the first byte of the request under way
    };

    std::function<std::string()> m_render;
    SocketServer& m_server;
    std::map<std::uint64_t, std::unique_ptr<Peer>> m_peers;  // by connection serial; the closed go in Poll
};

}  // namespace remote
