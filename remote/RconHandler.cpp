#include "RconHandler.h"

#include <algorithm>

#include "log/Log.h"

namespace remote {

namespace {

// The probe's second answer: a reply whose body is these four bytes.
constexpr char kProbeEnd[] = {0, 1, 0, 0};

const char* Why(SignInVerdict verdict) {
    switch (verdict) {
    case SignInVerdict::kLockedOut:
        return "refused: locked out";
    case SignInVerdict::kPaused:
        return "refused: sign-ins from new addresses are paused";
    case SignInVerdict::kFull:
        return "refused: too many addresses locked out";
    case SignInVerdict::kMayTry:
        break;
    }
    return "";
}

}  // namespace

std::string RconHandler::Admit(std::uint32_t address, std::uint64_t now) {
    return Why(m_guard.Verdict(address, now));
}

bool RconHandler::Serve(Connection& connection, std::uint64_t now) {
    Packet packet;
    std::string why;
    for (int n = 0; n < kMostPacketsPerTurn; ++n) {
        if (connection.Closed() || connection.busy) return false;
        switch (NextPacket(connection.Input(), packet, why)) {
        case PacketResult::kNone:
            return false;
        case PacketResult::kMalformed:
            m_server.Refuse(connection, Refusal::kMalformed, "refused: malformed packet (" + why + ")");
            return false;
        case PacketResult::kPacket:
            Handle(connection, packet, now);
            break;
        }
    }
    return !connection.Closed() && !connection.busy && connection.Input().Size() != 0;
}

void RconHandler::Handle(Connection& connection, Packet& packet, std::uint64_t now) {
    if (packet.type == kAuth) {
        SignIn(connection, packet, now);
    } else if (!connection.signedIn) {
        m_server.Refuse(connection, Refusal::kBeforeSignIn, "refused: a packet before signing in");
    } else if (packet.type == kExecCommand) {
        if (!m_exchange.PostCommand({connection.Serial(), packet.id, std::move(packet.body)})) {
            m_server.Close(connection, "closed: too many commands waiting", true);
            return;
        }
        connection.busy = true;  // its next packet waits for the reply
    } else if (packet.type == kResponseValue) {
        // The probe for the end of a split reply: it comes back, then the end mark.
        m_server.Send(connection, EncodePacket(packet.id, kResponseValue, packet.body));
        m_server.Send(connection,
                      EncodePacket(packet.id, kResponseValue, std::string_view(kProbeEnd, sizeof kProbeEnd)));
    } else {
        m_server.Refuse(connection, Refusal::kMalformed,
                        "refused: a packet of unknown type " + std::to_string(packet.type));
    }
}

void RconHandler::SignIn(Connection& connection, const Packet& packet, std::uint64_t now) {
    const std::uint32_t address = connection.Address();
    const SignInVerdict verdict = m_guard.Verdict(address, now);
    if (verdict != SignInVerdict::kMayTry) {
        // A connection made before the lock-out or the pause gets no more tries.
        m_server.Refuse(connection, Refusal::kConnection, Why(verdict));
        return;
    }
    if (SamePassword(packet.body, m_password)) {
        m_server.Send(connection, EncodePacket(packet.id, kAuthResponse, {}));
        if (!connection.Closed() && !connection.signedIn) {
            m_guard.SignedIn(address);
            m_server.SignedIn(connection);
        }
        return;
    }
    ++m_counters.wrongPasswords;
    m_server.Send(connection, EncodePacket(-1, kAuthResponse, {}));
    m_server.Refuse(connection, Refusal::kWrongPassword, "refused: wrong password", false);
    const SignInGuard::Outcome outcome = m_guard.Failed(address, now);
    if (outcome.lockedOut) {
        ++m_counters.lockOuts;
        m_server.NoteRefusal(address, Refusal::kLockOut,
                             AddressText(address) + " locked out for " +
                                 std::to_string(SignInGuard::kLockOut / 60'000) + " minutes after " +
                                 std::to_string(SignInGuard::kFailures) + " wrong passwords");
    }
    if (outcome.paused)
        Logf(LogCategory::Info,
             "Remote console: %d wrong passwords within a minute from all addresses: sign-ins from addresses "
             "that have never signed in are refused for %d minute",
             SignInGuard::kMostFailuresOverall, static_cast<int>(SignInGuard::kPause / 60'000));
}

void RconHandler::Wake(std::uint64_t now) {
    static_cast<void>(now);
    for (RemoteReply& reply : m_exchange.TakeReplies()) {
        Connection* connection = m_server.Find(reply.connection);
        if (!connection) continue;  // gone meanwhile
        connection->busy = false;
        SendReply(*connection, reply.id, reply.text);
        if (!connection->Closed()) m_server.Resume(*connection);
    }
}

void RconHandler::SendReply(Connection& connection, std::int32_t id, const std::string& text) {
    std::size_t at = 0;
    do {
        const std::size_t size = std::min(kMaxBody, text.size() - at);
        m_server.Send(connection, EncodePacket(id, kResponseValue, std::string_view(text).substr(at, size)));
        at += size;
    } while (at < text.size() && !connection.Closed());
}

std::string RconHandler::Closing(Connection& connection) {
    if (!connection.busy || !m_exchange.Drop(connection.Serial())) return {};
    return " (1 command dropped, not run)";
}

}  // namespace remote
