// Order statistics of a sample.
#pragma once

#include <vector>

namespace bench {

// The p-th percentile (0..100), nearest rank; 0 for an empty sample.
double Percentile(std::vector<double> values, double p);
inline double Median(const std::vector<double>& values) { return Percentile(values, 50); }
double Maximum(const std::vector<double>& values);
double Mean(const std::vector<double>& values);

}  // namespace bench
