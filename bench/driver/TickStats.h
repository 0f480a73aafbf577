// Pacing figures of a series of tick times, against the frame timer's period.
#pragma once

#include <vector>

namespace bench {

inline constexpr double kTickPeriodMs = 28;
inline constexpr double kIdealTickRate = 1000 / kTickPeriodMs;  // 35.714 per second

struct TickStats {
    std::size_t ticks = 0;        // ticks counted (after the settling time)
    double seconds = 0;           // from the first counted tick to the last
    double rate = 0;              // intervals per second
    double medianMs = 0;          // interval between tick starts
    double p99Ms = 0;
    double maxMs = 0;
    double p99ErrorMs = 0;        // 99th percentile of |interval - period|
    double driftMs = 0;           // lateness against first + n periods, end of run minus start
    long long lost = 0;           // ticks expected from the elapsed time, minus those seen
    std::vector<double> intervalsMs;
    std::vector<double> atSeconds;  // time of each interval's end, from the first tick
};

// `microseconds`: tick start times in any origin. Ticks within the first
// `settleSeconds` are left out: the start of a program is not its pace.
TickStats ComputeTickStats(const std::vector<double>& microseconds, double settleSeconds);

// The figures of several windows of one run taken together: the intervals
// within each window (none across the gaps between them), timed from the
// first window's first tick; the drift and the ticks lost are the windows'
// sums.
TickStats PoolWindows(const std::vector<std::vector<double>>& windows);

}  // namespace bench
