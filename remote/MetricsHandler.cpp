#include "MetricsHandler.h"

#include <windows.h>

#include <algorithm>
#include <ctime>

namespace remote {

ServerLimits MetricsHandler::Limits() {
    ServerLimits limits;
    limits.maxConnections = kMostConnections;
    limits.mostWaitingPerAddress = kMostConnections;
    limits.reserved = 0;
    limits.signInTime = kRequestTime;
    limits.idleTime = kIdleTime;
    limits.lateWhy = "no whole request";
    limits.lateKind = Refusal::kRequestTime;
    limits.logSessions = false;  // a scrape is no event for the log
    return limits;
}

bool MetricsHandler::Serve(Connection& connection, std::uint64_t now) {
    std::unique_ptr<Peer>& slot = m_peers[connection.Serial()];
    if (!slot) slot.reset(new Peer{MetricsHttp(m_render, [] { return std::time(nullptr); })});
    Peer& peer = *slot;
    InputBuffer& input = connection.Input();
    std::string reply;
    bool open = true;
    while (open && reply.empty() && input.Size() != 0) {
        const bool wasInside = peer.http.InsideRequest();
        const std::size_t n = std::min(kFeedBytes, input.Size());
        open = peer.http.Receive({input.Data(), n}, reply);
        input.Take(n);
        // A new request began: its own time starts.
        if (peer.http.InsideRequest() && (!wasInside || !reply.empty())) peer.requestSince = now;
    }
    const std::string refused = open ? std::string() : peer.http.Refused();
    // The first answer makes the connection one in good standing; its socket
    // is set up for replies before the answer goes.
    if (!reply.empty() && refused.empty() && !connection.signedIn) m_server.SignedIn(connection);
    if (!reply.empty()) m_server.Send(connection, std::move(reply));
    if (connection.Closed()) return false;
    if (!open) {
        if (refused.empty())
            m_server.Close(connection, {});
        else
            m_server.Refuse(connection, Refusal::kBadRequest, "refused: " + refused, false);
        return false;
    }
    return input.Size() != 0;
}

bool MetricsHandler::Poll() {
    const std::uint64_t now = ::GetTickCount64();
    for (auto it = m_peers.begin(); it != m_peers.end();) {
        Connection* connection = m_server.Find(it->first);
        if (!connection) {
            it = m_peers.erase(it);
            continue;
        }
        // Before its first answer the server's sign-in time covers it.
        const Peer& peer = *it->second;
        if (connection->signedIn && peer.http.InsideRequest() && now - peer.requestSince >= kRequestTime)
            m_server.Refuse(*connection, Refusal::kRequestTime,
                            "closed: no whole request within " + std::to_string(kRequestTime / 1000) + " s");
        ++it;
    }
    return false;
}

}  // namespace remote
