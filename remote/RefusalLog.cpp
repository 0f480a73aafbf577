#include "RefusalLog.h"

#include "Connection.h"

namespace remote {

namespace {

const char* const kNouns[] = {
    "refused connections", "malformed packets", "packets before signing in",
    "sign-in time-outs",   "wrong passwords",   "lock-outs",
    "refused requests",    "request time-outs",
};
static_assert(std::size(kNouns) == static_cast<std::size_t>(Refusal::kKinds));

// Times handed in may run a little behind one another.
std::uint64_t Since(std::uint64_t now, std::uint64_t then) { return now > then ? now - then : 0; }

}  // namespace

std::string GroupedNumber(std::uint64_t number) {
    std::string digits = std::to_string(number);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(at, 1, ',');
    return digits;
}

bool RefusalLog::Note(std::uint32_t address, Refusal kind, std::uint64_t now) {
    ++m_total;
    const auto found = m_records.find({address, kind});
    if (found != m_records.end()) {
        ++found->second.count;
        return false;
    }
    if (Since(now, m_budgetSince) >= kPeriod) {
        m_budgetSince = now;
        m_firstLines = 0;
    }
    if (m_firstLines >= kMostFirstLines || m_records.size() >= kMostRecords) {
        Record& others = m_others[static_cast<int>(kind)];
        if (others.count++ == 0) others.since = now;
        return false;
    }
    ++m_firstLines;
    m_records.emplace(Key{address, kind}, Record{now, 0});
    return true;
}

std::vector<std::string> RefusalLog::Due(std::uint64_t now, bool all) {
    std::vector<std::string> lines;
    for (auto it = m_records.begin(); it != m_records.end();) {
        Record& record = it->second;
        if (!all && Since(now, record.since) < kPeriod) {
            ++it;
        } else if (record.count == 0) {
            it = m_records.erase(it);  // quiet for a minute: the next one is logged whole again
        } else {
            lines.push_back(Line(AddressText(it->first.first).c_str(), record.count, it->first.second));
            record = {now, 0};
            ++it;
        }
    }
    for (int kind = 0; kind < static_cast<int>(Refusal::kKinds); ++kind) {
        Record& others = m_others[kind];
        if (others.count != 0 && (all || Since(now, others.since) >= kPeriod)) {
            lines.push_back(Line("other addresses", others.count, static_cast<Refusal>(kind)));
            others = {};
        }
    }
    return lines;
}

std::string RefusalLog::Line(const char* who, std::uint64_t count, Refusal kind) {
    return "... and " + GroupedNumber(count) + " more " + kNouns[static_cast<int>(kind)] + " from " + who +
           " in the last minute";
}

}  // namespace remote
