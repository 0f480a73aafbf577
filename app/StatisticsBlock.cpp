#include "StatisticsBlock.h"

#include <cstdarg>
#include <cstdio>

namespace {

constexpr double kMiB = 1024.0 * 1024.0;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char line[256];  // every line below fits; a longer one would be cut here
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    return line;
}

// "p50 0.42 ms, p99 1.93 ms, max 3.21 ms": the quantiles as Prometheus's
// histogram_quantile estimates them from the same buckets.
std::string Spread(const stats::HistogramFigures& times) {
    return Format("p50 %.2f ms, p99 %.2f ms, max %.2f ms", stats::Quantile(times, 0.5) * 1000,
                  stats::Quantile(times, 0.99) * 1000, times.maxSeconds * 1000);
}

}  // namespace

std::vector<std::string> StatisticsLines(const stats::Snapshot& s) {
    std::uint64_t logLines = 0;
    for (std::uint64_t lines : s.logLines) logLines += lines;
    const std::string window = s.rateWindowSeconds >= 60 ? std::string("the last minute")
                                                         : Format("the last %.1f s", s.rateWindowSeconds);
    return {
        Format("Statistics: up %.1f s, %llu ticks, %.1f ticks per second over %s", s.process.uptimeSeconds,
               static_cast<unsigned long long>(s.ticks), s.ticksPerSecond, window.c_str()),
        "Tick lateness: " + Spread(s.lateness),
        "Engine time per tick: " + Spread(s.tickTime),
        Format("Commands: console %llu, automation %llu, remote %llu; property requests %llu, property data %llu",
               static_cast<unsigned long long>(s.commands[0].count),
               static_cast<unsigned long long>(s.commands[1].count),
               static_cast<unsigned long long>(s.commands[2].count),
               static_cast<unsigned long long>(s.propertyRequests),
               static_cast<unsigned long long>(s.propertyData)),
        Format("Log: %llu lines, %llu cut at 255 characters; %llu bytes written to the log file",
               static_cast<unsigned long long>(logLines), static_cast<unsigned long long>(s.logLinesCut),
               static_cast<unsigned long long>(s.logFileBytes)),
        Format("Memory: private %.1f MiB, working set %.1f MiB; %llu handles, %llu USER and %llu GDI objects; "
               "CPU %.2f s",
               static_cast<double>(s.process.privateBytes) / kMiB,
               static_cast<double>(s.process.workingSetBytes) / kMiB,
               static_cast<unsigned long long>(s.process.handles),
               static_cast<unsigned long long>(s.process.userObjects),
               static_cast<unsigned long long>(s.process.gdiObjects), s.process.cpuSeconds),
    };
}
