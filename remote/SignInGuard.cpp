#include "SignInGuard.h"

#include <algorithm>

#include "RconPacket.h"

namespace remote {

bool SamePassword(std::string_view given, std::string_view password) {
    // Every byte of a fixed span, the longest body a packet holds, is
    // compared whatever the lengths; a text reads as NULs past its end.
    constexpr std::size_t kSpan = kMaxBody;
    volatile unsigned char difference = given.size() == password.size() ? 0 : 1;
    if (given.size() > kSpan || password.size() > kSpan) difference = difference | 1;
    for (std::size_t i = 0; i < kSpan; ++i) {
        const unsigned char a = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
        const unsigned char b = i < password.size() ? static_cast<unsigned char>(password[i]) : 0;
        difference = difference | static_cast<unsigned char>(a ^ b);
    }
    return difference == 0;
}

SignInVerdict SignInGuard::Verdict(std::uint32_t address, std::uint64_t now) {
    Forget(now);
    const auto found = m_records.find(address);
    if (found != m_records.end() && now < found->second.lockedUntil) return SignInVerdict::kLockedOut;
    const bool known = Known(address);
    if (now < m_pausedUntil && !known) return SignInVerdict::kPaused;
    if (found == m_records.end() && m_records.size() >= kMostAddresses && !known &&
        std::all_of(m_records.begin(), m_records.end(),
                    [](const auto& entry) { return entry.second.lockedUntil != 0; }))
        return SignInVerdict::kFull;
    return SignInVerdict::kMayTry;
}

SignInGuard::Outcome SignInGuard::Failed(std::uint32_t address, std::uint64_t now) {
    Outcome outcome;
    Forget(now);
    m_recentFailures.push_back(now);
    if (static_cast<int>(m_recentFailures.size()) >= kMostFailuresOverall && now >= m_pausedUntil) {
        m_pausedUntil = now + kPause;
        m_recentFailures.clear();
        outcome.paused = true;
    }
    if (!m_records.contains(address) && m_records.size() >= kMostAddresses && !MakeRoom())
        return outcome;  // full of lock-outs: Verdict refuses new addresses until one ends
    Record& record = m_records[address];
    if (now < record.lockedUntil) return outcome;  // already locked out
    record.failures.push_back(now);
    if (static_cast<int>(record.failures.size()) < kFailures) return outcome;
    record.failures.clear();
    record.lockedUntil = now + kLockOut;
    outcome.lockedOut = true;
    return outcome;
}

void SignInGuard::SignedIn(std::uint32_t address) {
    std::erase(m_known, address);
    if (m_known.size() >= kMostKnown) m_known.pop_front();
    m_known.push_back(address);
}

bool SignInGuard::Known(std::uint32_t address) const {
    return std::find(m_known.begin(), m_known.end(), address) != m_known.end();
}

bool SignInGuard::MakeRoom() {
    auto oldest = m_records.end();
    for (auto it = m_records.begin(); it != m_records.end(); ++it)
        if (it->second.lockedUntil == 0 &&
            (oldest == m_records.end() || it->second.failures.back() < oldest->second.failures.back()))
            oldest = it;
    if (oldest == m_records.end()) return false;  // a lock-out is never cut short
    m_records.erase(oldest);
    return true;
}

// Drops failures older than the window, ended lock-outs, and records left
// with nothing.
void SignInGuard::Forget(std::uint64_t now) {
    while (!m_recentFailures.empty() && now - m_recentFailures.front() >= kWindow) m_recentFailures.pop_front();
    for (auto it = m_records.begin(); it != m_records.end();) {
        Record& record = it->second;
        while (!record.failures.empty() && now - record.failures.front() >= kWindow)
            record.failures.pop_front();
        if (now >= record.lockedUntil) record.lockedUntil = 0;
        if (record.failures.empty() && record.lockedUntil == 0)
            it = m_records.erase(it);
        else
            ++it;
    }
}

}  // namespace remote
