#include "SignInGuard.h"

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

bool SignInGuard::LockedOut(std::uint32_t address, std::uint64_t now) const {
    const auto found = m_records.find(address);
    return found != m_records.end() && now < found->second.lockedUntil;
}

bool SignInGuard::Failed(std::uint32_t address, std::uint64_t now) {
    Forget(now);
    if (m_records.size() >= kMostAddresses && !m_records.contains(address)) {
        // Full of live records: the one whose last failure is oldest goes.
        auto oldest = m_records.begin();
        for (auto it = m_records.begin(); it != m_records.end(); ++it)
            if (it->second.lockedUntil == 0 && (oldest->second.lockedUntil != 0 ||
                                                it->second.failures.back() < oldest->second.failures.back()))
                oldest = it;
        m_records.erase(oldest);
    }
    Record& record = m_records[address];
    if (now < record.lockedUntil) return false;  // already locked out
    record.failures.push_back(now);
    if (static_cast<int>(record.failures.size()) < kFailures) return false;
    record.failures.clear();
    record.lockedUntil = now + kLockOut;
    return true;
}

// Drops failures older than the window, and records left with nothing.
void SignInGuard::Forget(std::uint64_t now) {
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
