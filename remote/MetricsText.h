// The shell's figures in the Prometheus text exposition format, version
// 0.0.4: names with the prefix velmor_, times in seconds and sizes in bytes,
// counters ending in _total, histograms as cumulative _bucket{le=...} series
// with _sum and _count. A function of its arguments alone.
#pragma once

#include <string>

#include "engine/Statistics.h"

namespace remote {

// The Content-Type of the text.
inline constexpr char kMetricsContentType[] = "text/plain; version=0.0.4; charset=utf-8";

// `categoryNames` names the 32 log categories; lines of any other category
// are counted under "other".
std::string RenderMetrics(const stats::Snapshot& figures, const char* const* categoryNames, const char* version,
                          const char* architecture);

// The shell's figures now, from any thread: a snapshot of the statistics
// rendered with the log's category names and this build's version.
std::string CurrentMetrics();

}  // namespace remote
