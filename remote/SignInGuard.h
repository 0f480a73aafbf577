// Who may sign in: the password check, in constant time, and the lock-out of
// an address after repeated wrong passwords. Times are milliseconds of any
// monotonic clock, handed in, so the rules are checked without waiting.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>

namespace remote {

// True when `given` equals `password`. The time taken depends on neither
// text's content nor on where they first differ.
bool SamePassword(std::string_view given, std::string_view password);

class SignInGuard {
public:
    static constexpr int kFailures = 5;                  // wrong passwords ...
    static constexpr std::uint64_t kWindow = 60'000;     // ... within this time ...
    static constexpr std::uint64_t kLockOut = 300'000;   // ... lock the address out this long
    static constexpr std::size_t kMostAddresses = 1024;  // addresses remembered at once

    bool LockedOut(std::uint32_t address, std::uint64_t now) const;
    // Counts a wrong password; true when it locks the address out.
    bool Failed(std::uint32_t address, std::uint64_t now);

private:
    struct Record {
        std::deque<std::uint64_t> failures;  // within the window, oldest first
        std::uint64_t lockedUntil = 0;
    };
    void Forget(std::uint64_t now);

    std::map<std::uint32_t, Record> m_records;
};

}  // namespace remote
