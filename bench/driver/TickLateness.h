// The ticks' lateness as the shell's statistics count it: from the moment a
// tick was due on its 28 ms schedule to the start of its work, in the
// statistics' fixed buckets. The floor's ticks (and the shell's, where its
// own figures cannot be read) go through engine/Statistics's own recording,
// linked into the driver, so that both sides are counted alike.
#pragma once

#include <utility>
#include <vector>

#include "engine/Histogram.h"

namespace bench {

using Lateness = stats::HistogramFigures;

// From `from` to `to`, microseconds of the performance counter.
using TimeRange = std::pair<double, double>;

// A whole run's tick times (microseconds of the performance counter, in
// order), placed on a schedule that starts at its first tick as the shell's
// does, and counted per range: one histogram for each of `ranges` (in order,
// not overlapping) of the ticks that start within it. The schedule runs on
// through the ticks between ranges. Each histogram's longest is the run's
// longest so far at the range's end, as a reading of the shell's own figures
// gives it.
std::vector<Lateness> LatenessInRanges(const std::vector<double>& ticks, const std::vector<TimeRange>& ranges);

// What was counted between two readings of one histogram; the longest is the
// later reading's (the longest since start).
Lateness Difference(const Lateness& later, const Lateness& earlier);

// The histograms taken together.
Lateness Pooled(const std::vector<Lateness>& parts);

// The q-quantile in milliseconds, estimated as the shell estimates it.
double QuantileMs(const Lateness& lateness, double q);

}  // namespace bench
