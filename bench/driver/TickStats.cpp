#include "TickStats.h"

#include <algorithm>
#include <cmath>

#include "Stats.h"

namespace bench {

namespace {

// How much later than the ideal grid (first tick + n periods) the ticks of the
// last tenth of the run come than those of the first tenth, on average: the
// timer's drift, without the jitter of single ticks at either end.
double Drift(const std::vector<double>& ms) {
    const std::size_t tenth = std::max<std::size_t>(1, ms.size() / 10);
    auto meanLateness = [&ms](std::size_t from, std::size_t count) {
        double sum = 0;
        for (std::size_t i = from; i < from + count; ++i)
            sum += ms[i] - ms.front() - static_cast<double>(i) * kTickPeriodMs;
        return sum / static_cast<double>(count);
    };
    return meanLateness(ms.size() - tenth, tenth) - meanLateness(0, tenth);
}

}  // namespace

TickStats ComputeTickStats(const std::vector<double>& microseconds, double settleSeconds) {
    TickStats stats;
    if (microseconds.empty()) return stats;
    std::vector<double> ms;
    for (double t : microseconds)
        if (t - microseconds.front() >= settleSeconds * 1e6) ms.push_back(t / 1000);
    stats.ticks = ms.size();
    if (ms.size() < 2) return stats;

    const double span = ms.back() - ms.front();
    stats.seconds = span / 1000;
    stats.rate = static_cast<double>(ms.size() - 1) / stats.seconds;
    std::vector<double> errors;
    for (std::size_t i = 1; i < ms.size(); ++i) {
        const double interval = ms[i] - ms[i - 1];
        stats.intervalsMs.push_back(interval);
        stats.atSeconds.push_back((ms[i] - ms.front()) / 1000);
        errors.push_back(std::fabs(interval - kTickPeriodMs));
    }
    stats.medianMs = Median(stats.intervalsMs);
    stats.p99Ms = Percentile(stats.intervalsMs, 99);
    stats.maxMs = Maximum(stats.intervalsMs);
    stats.p99ErrorMs = Percentile(errors, 99);
    stats.driftMs = Drift(ms);
    const auto expected = static_cast<long long>(std::llround(span / kTickPeriodMs)) + 1;
    stats.lost = expected - static_cast<long long>(ms.size());
    return stats;
}

TickStats PoolWindows(const std::vector<std::vector<double>>& windows) {
    TickStats pooled;
    double origin = 0;
    bool first = true;
    double spanMs = 0;
    std::vector<double> errors;
    for (const std::vector<double>& window : windows) {
        const TickStats one = ComputeTickStats(window, 0);
        if (one.ticks < 2) continue;
        if (first) origin = window.front();
        first = false;
        pooled.ticks += one.ticks;
        spanMs += one.seconds * 1000;
        pooled.driftMs += one.driftMs;
        pooled.lost += one.lost;
        for (std::size_t i = 0; i < one.intervalsMs.size(); ++i) {
            pooled.intervalsMs.push_back(one.intervalsMs[i]);
            pooled.atSeconds.push_back((window.front() - origin) / 1e6 + one.atSeconds[i]);
            errors.push_back(std::fabs(one.intervalsMs[i] - kTickPeriodMs));
        }
    }
    if (pooled.intervalsMs.empty()) return pooled;
    pooled.seconds = spanMs / 1000;
    pooled.rate = static_cast<double>(pooled.intervalsMs.size()) / pooled.seconds;
    pooled.medianMs = Median(pooled.intervalsMs);
    pooled.p99Ms = Percentile(pooled.intervalsMs, 99);
    pooled.maxMs = Maximum(pooled.intervalsMs);
    pooled.p99ErrorMs = Percentile(errors, 99);
    return pooled;
}

}  // namespace bench
