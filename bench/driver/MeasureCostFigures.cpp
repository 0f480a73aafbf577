#include "MeasureCostFigures.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "engine/Statistics.h"

namespace bench {

namespace {

constexpr int kRounds = 31;
constexpr int kTicksPerRound = 200000;
constexpr double kLimitNs = 1000;

double CounterNs() {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return 1e9 / static_cast<double>(f.QuadPart);
}

// One round: what EngineCalls' ServerTick adds around the engine's call, the
// engine's call left out. Nanoseconds per tick.
double Round(double nsPerCount) {
    const std::int64_t begin = stats::Now();
    for (int i = 0; i < kTicksPerRound; ++i) {
        const std::int64_t start = stats::Now();
        stats::RecordTick(start, stats::Now());
    }
    return static_cast<double>(stats::Now() - begin) * nsPerCount / kTicksPerRound;
}

// The two clock reads alone, without the recording: the part the system's
// clock costs.
double ClockRound(double nsPerCount) {
    std::int64_t sink = 0;
    const std::int64_t begin = stats::Now();
    for (int i = 0; i < kTicksPerRound; ++i) {
        const std::int64_t start = stats::Now();
        sink += stats::Now() - start;
    }
    const double ns = static_cast<double>(stats::Now() - begin) * nsPerCount / kTicksPerRound;
    return sink >= 0 ? ns : 0;  // sink keeps the reads from being dropped
}

}  // namespace

void RunMeasureCostFigures(ResultTable& table) {
    const double nsPerCount = CounterNs();
    stats::SetTickPeriod(28);
    // Alone, and with another thread taking snapshots all the time, as a
    // scrape or the console's Statistics would (far more often than they do).
    std::vector<double> alone, read, clock;
    for (int r = 0; r < kRounds; ++r) {
        alone.push_back(Round(nsPerCount));
        clock.push_back(ClockRound(nsPerCount));
    }
    std::atomic<bool> stop{false};
    std::atomic<long long> snapshots{0};
    std::thread reader([&] {
        while (!stop.load()) {
            stats::TakeSnapshot();
            snapshots.fetch_add(1);
        }
    });
    for (int r = 0; r < kRounds; ++r) read.push_back(Round(nsPerCount));
    stop.store(true);
    reader.join();

    std::sort(alone.begin(), alone.end());
    std::sort(read.begin(), read.end());
    std::sort(clock.begin(), clock.end());
    const double median = alone[alone.size() / 2];
    table.Add({"statistics per tick, in process (ns; median of " + std::to_string(kRounds) + " rounds of " +
                   std::to_string(kTicksPerRound) + ")",
               Fixed(median, 0), "", "", "<= " + Fixed(kLimitNs, 0), Verdict(median <= kLimitNs)});
    table.Add({"statistics per tick, slowest round (ns)", Fixed(alone.back(), 0), "", "", "", "info"});
    table.Add({"of which the two clock reads alone (ns, median)", Fixed(clock[clock.size() / 2], 0), "", "", "",
               "info"});
    table.Add({"statistics per tick while another thread takes snapshots (ns, median; " +
                   std::to_string(snapshots.load()) + " snapshots)",
               Fixed(read[read.size() / 2], 0), "", "", "", "info"});
}

}  // namespace bench
