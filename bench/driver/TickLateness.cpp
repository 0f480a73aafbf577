#include "TickLateness.h"

#include <algorithm>
#include <cmath>

#include "Qpc.h"
#include "TickStats.h"
#include "engine/Statistics.h"

namespace bench {

namespace {

std::int64_t Counts(double microseconds) {
    return std::llround(microseconds * static_cast<double>(QpcFrequency()) / 1e6);
}

}  // namespace

std::vector<Lateness> LatenessInRanges(const std::vector<double>& ticks, const std::vector<TimeRange>& ranges) {
    std::vector<Lateness> counted(ranges.size());
    // A fresh schedule; the counts go on from the statistics' earlier ones,
    // which the readings around each range take away.
    stats::SetTickPeriod(static_cast<unsigned>(kTickPeriodMs));
    std::size_t range = 0;
    bool open = false;
    Lateness atOpen;
    auto close = [&] {
        if (open) counted[range] = Difference(stats::TakeSnapshot().lateness, atOpen);
        open = false;
        ++range;
    };
    for (double tick : ticks) {
        while (range < ranges.size() && tick >= ranges[range].second) close();
        if (range < ranges.size() && !open && tick >= ranges[range].first) {
            atOpen = stats::TakeSnapshot().lateness;
            open = true;
        }
        const std::int64_t start = Counts(tick);
        stats::RecordTick(start, start);
    }
    while (range < ranges.size()) close();
    return counted;
}

Lateness Difference(const Lateness& later, const Lateness& earlier) {
    Lateness between = later;
    for (std::size_t i = 0; i < stats::kBucketCount; ++i) between.buckets[i] -= earlier.buckets[i];
    between.count -= earlier.count;
    between.sumSeconds -= earlier.sumSeconds;
    return between;
}

Lateness Pooled(const std::vector<Lateness>& parts) {
    Lateness all;
    for (const Lateness& part : parts) {
        for (std::size_t i = 0; i < stats::kBucketCount; ++i) all.buckets[i] += part.buckets[i];
        all.count += part.count;
        all.sumSeconds += part.sumSeconds;
        all.maxSeconds = std::max(all.maxSeconds, part.maxSeconds);
    }
    return all;
}

double QuantileMs(const Lateness& lateness, double q) { return stats::Quantile(lateness, q) * 1000; }

}  // namespace bench
