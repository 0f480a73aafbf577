#include "Stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace bench {

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    const double rank = std::ceil(p / 100 * static_cast<double>(values.size()));
    const std::size_t index =
        rank < 1 ? 0 : std::min(values.size() - 1, static_cast<std::size_t>(rank) - 1);
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index), values.end());
    return values[index];
}

double Maximum(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

double Mean(const std::vector<double>& values) {
    return values.empty() ? 0
                          : std::accumulate(values.begin(), values.end(), 0.0) /
                                static_cast<double>(values.size());
}

}  // namespace bench
