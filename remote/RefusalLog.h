// Keeps what strangers cause from filling the log. The first refusal of each
// kind from an address is logged whole; the rest are counted, and the count
// is logged as one line when a minute has passed since ("... and 1,999 more
// malformed packets from 127.0.0.4 in the last minute"), and so on while they
// last. Over all addresses together at most kMostFirstLines whole lines a
// minute are written, and at most kMostRecords addresses are followed; past
// either, refusals are counted as from "other addresses". Times are
// milliseconds of any monotonic clock, handed in.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace remote {

enum class Refusal {
    kConnection,     // refused as it came
    kMalformed,      // a packet or request that breaks the framing
    kBeforeSignIn,   // anything but a sign-in before signing in
    kSignInTime,     // not signed in on time
    kWrongPassword,
    kLockOut,        // an address locked out
    kBadRequest,     // an HTTP request head refused
    kRequestTime,    // an HTTP request not sent whole on time
    kKinds
};

class RefusalLog {
public:
    static constexpr std::uint64_t kPeriod = 60'000;
    static constexpr int kMostFirstLines = 20;
    static constexpr std::size_t kMostRecords = 64;

    // True when this refusal is to be logged whole now; otherwise it is counted.
    bool Note(std::uint32_t address, Refusal kind, std::uint64_t now);
    // The count lines due at `now` (every one still owed when `all`), each
    // without the "Remote console: " the caller puts before it.
    std::vector<std::string> Due(std::uint64_t now, bool all = false);
    // Refusals so far, logged or counted.
    std::uint64_t Total() const { return m_total; }

private:
    struct Record {
        std::uint64_t since = 0;  // the start of its minute
        std::uint64_t count = 0;  // counted, not logged, since then
    };
    using Key = std::pair<std::uint32_t, Refusal>;
    static std::string Line(const char* who, std::uint64_t count, Refusal kind);

    std::map<Key, Record> m_records;
    Record m_others[static_cast<int>(Refusal::kKinds)];
    std::uint64_t m_budgetSince = 0;
    int m_firstLines = 0;
    std::uint64_t m_total = 0;
};

// 1999 as "1,999".
std::string GroupedNumber(std::uint64_t number);

}  // namespace remote
