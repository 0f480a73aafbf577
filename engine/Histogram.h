// Times counted in fixed buckets, as the shell's statistics keep them: the
// tick's lateness and the engine's time in a tick or a command. The buckets
// are the same for every series, so that one reader serves them all.
#pragma once

#include <cstddef>
#include <cstdint>

namespace stats {

// Upper bounds of the buckets in milliseconds; a last bucket takes the rest.
inline constexpr double kBucketBoundsMs[] = {0.5, 1, 2, 5, 10, 20, 50, 100};
inline constexpr std::size_t kBoundCount = sizeof kBucketBoundsMs / sizeof kBucketBoundsMs[0];
inline constexpr std::size_t kBucketCount = kBoundCount + 1;

// One histogram as a snapshot holds it, in seconds.
struct HistogramFigures {
    std::uint64_t buckets[kBucketCount] = {};  // per bucket, not cumulative; the last is above 100 ms
    std::uint64_t count = 0;                   // the sum of the buckets
    double sumSeconds = 0;
    double maxSeconds = 0;                     // the longest since start
};

// The q-quantile (0..1) in seconds, estimated as Prometheus's
// histogram_quantile does (linear within the bucket, the first bucket from
// 0), but never above the longest time seen: the top bucket reaches only to
// that. 0 when nothing was counted.
double Quantile(const HistogramFigures& figures, double q);

}  // namespace stats
