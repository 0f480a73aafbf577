#include "Histogram.h"

namespace stats {

double Quantile(const HistogramFigures& figures, double q) {
    if (figures.count == 0) return 0;
    if (q < 0) q = 0;
    if (q > 1) q = 1;
    const double rank = q * static_cast<double>(figures.count);
    std::uint64_t below = 0;  // counted in the buckets before this one
    for (std::size_t i = 0; i < kBucketCount; ++i) {
        const std::uint64_t inBucket = figures.buckets[i];
        if (inBucket == 0 || static_cast<double>(below + inBucket) < rank) {
            below += inBucket;
            continue;
        }
        const double lower = i == 0 ? 0 : kBucketBoundsMs[i - 1] / 1000;
        double upper = i < kBoundCount ? kBucketBoundsMs[i] / 1000 : figures.maxSeconds;
        if (upper > figures.maxSeconds) upper = figures.maxSeconds;
        if (upper < lower) return upper;  // the longest lies below this bucket's floor
        const double within = (rank - static_cast<double>(below)) / static_cast<double>(inBucket);
        return lower + (upper - lower) * within;
    }
    return figures.maxSeconds;
}

}  // namespace stats
