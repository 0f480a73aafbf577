// Who may sign in: the password check, in constant time; the lock-out of an
// address after repeated wrong passwords; and a budget of wrong passwords
// over all addresses together, so that rotating over many addresses gains
// nothing. Times are milliseconds of any monotonic clock, handed in, so the
// rules are checked without waiting.
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

enum class SignInVerdict {
    kMayTry,
    kLockedOut,  // this address, after its wrong passwords
    kPaused,     // every address that has never signed in, after too many wrong passwords overall
    kFull,       // a new address while the table is full of lock-outs
};

class SignInGuard {
public:
    static constexpr int kFailures = 5;                  // wrong passwords from one address ...
    static constexpr std::uint64_t kWindow = 60'000;     // ... within this time ...
    static constexpr std::uint64_t kLockOut = 300'000;   // ... lock it out this long
    static constexpr int kMostFailuresOverall = 60;      // wrong passwords within kWindow, all addresses ...
    static constexpr std::uint64_t kPause = 60'000;      // ... pause the addresses never signed in this long
    static constexpr std::size_t kMostAddresses = 1024;  // addresses with failures remembered at once
    static constexpr std::size_t kMostKnown = 64;        // addresses remembered as signed in

    SignInVerdict Verdict(std::uint32_t address, std::uint64_t now);

    struct Outcome {
        bool lockedOut = false;  // this failure locked its address out
        bool paused = false;     // this failure began the pause
    };
    // Counts a wrong password of an address that was let try.
    Outcome Failed(std::uint32_t address, std::uint64_t now);
    // A sign-in succeeded: the address is known from now on.
    void SignedIn(std::uint32_t address);
    bool Known(std::uint32_t address) const;

private:
    struct Record {
        std::deque<std::uint64_t> failures;  // within the window, oldest first
        std::uint64_t lockedUntil = 0;
    };
    void Forget(std::uint64_t now);
    // Makes room for a new address: the unlocked record whose last failure
    // is oldest goes. False when every record is locked.
    bool MakeRoom();

    std::map<std::uint32_t, Record> m_records;
    std::deque<std::uint64_t> m_recentFailures;  // all addresses, within the window, oldest first
    std::uint64_t m_pausedUntil = 0;
    std::deque<std::uint32_t> m_known;  // most recent last
};

}  // namespace remote
