#include "TickWindows.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <utility>

#include "Qpc.h"

namespace bench {

namespace {

constexpr int kLeastPairs = 4;
// At the start of each window, in which its load comes on or off.
constexpr double kSettleSeconds = 0.3;

void Wait(double seconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long long>(seconds * 1000)));
}

}  // namespace

int TickWindowPairs(double seconds) {
    return std::max(kLeastPairs, static_cast<int>(std::lround(seconds / kTickWindowSeconds)));
}

bool MeasuredTogether(const ShellLoad& load, double before) { return !load.on && !load.off && before > 0; }

double TickFloorSeconds(int pairs, double before, const ShellLoad& load) {
    const int windows = MeasuredTogether(load, before) ? pairs : 2 * pairs;
    return before + windows * (kTickWindowSeconds + kSettleSeconds) + 2;
}

TickWindows RunTickWindows(Journal& journal, TimerFloorRun& floor, int pairs, const ShellLoad& load,
                           double before, const LatenessReader& lateness) {
    TickWindows windows;
    std::vector<TimeRange> floorWindows;  // performance counter, microseconds
    std::vector<TimeRange> shellWindows;  // the journal's microseconds
    bool own = static_cast<bool>(lateness);
    const bool together = MeasuredTogether(load, before);
    Wait(before);
    Alternate(
        pairs,
        [&](int i) {
            if (load.on) load.on();
            if (i > 0 || before > 0) Wait(kSettleSeconds);
            journal.Poll();
            const std::size_t from = journal.TickTimes().size();
            const std::optional<Lateness> atStart = own ? lateness() : std::nullopt;
            const double fromTime = QpcToMicroseconds(QpcNow());
            Wait(kTickWindowSeconds);
            const double toTime = QpcToMicroseconds(QpcNow());
            const std::optional<Lateness> atEnd = own ? lateness() : std::nullopt;
            own = atStart && atEnd;
            if (own) windows.shellLateness.push_back(Difference(*atEnd, *atStart));
            journal.Poll();
            if (together) floorWindows.emplace_back(fromTime, toTime);
            const std::vector<double>& all = journal.TickTimes();
            const std::vector<double>& window =
                windows.shell.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
            // The journal's times count from the engine's start: its window by its own ticks.
            const double end = shellWindows.empty() ? 0 : shellWindows.back().second;
            shellWindows.push_back(window.empty() ? TimeRange{end, end} : TimeRange{window.front(), window.back() + 1});
            if (load.off) load.off();
            return true;
        },
        [&](int) {
            if (together) return true;  // counted in the shell's window
            Wait(kSettleSeconds);
            const double from = QpcToMicroseconds(QpcNow());
            Wait(kTickWindowSeconds);
            floorWindows.emplace_back(from, QpcToMicroseconds(QpcNow()));
            return true;
        });
    const std::vector<double> ticks = floor.Ticks();
    for (const auto& [from, to] : floorWindows) {
        std::vector<double>& window = windows.floor.emplace_back();
        for (double t : ticks)
            if (t >= from && t < to) window.push_back(t);
    }
    windows.floorLateness = LatenessInRanges(ticks, floorWindows);
    windows.shellLatenessOwn = own;
    if (!own) windows.shellLateness = LatenessInRanges(journal.TickTimes(), shellWindows);
    return windows;
}

PairedFigure PairedLateness(const TickWindows& windows) {
    PairedFigure paired;
    for (std::size_t i = 0; i < std::min(windows.shellLateness.size(), windows.floorLateness.size()); ++i)
        if (windows.shellLateness[i].count && windows.floorLateness[i].count)
            paired.Add(QuantileMs(windows.shellLateness[i], 0.99), QuantileMs(windows.floorLateness[i], 0.99));
    return paired;
}

PairedFigure PairedTicks(const TickWindows& windows, double (*figure)(const TickStats&)) {
    PairedFigure paired;
    for (std::size_t i = 0; i < std::min(windows.shell.size(), windows.floor.size()); ++i) {
        const TickStats shell = ComputeTickStats(windows.shell[i], 0);
        const TickStats floor = ComputeTickStats(windows.floor[i], 0);
        if (shell.ticks >= 2 && floor.ticks >= 2) paired.Add(figure(shell), figure(floor));
    }
    return paired;
}

void AddLatenessRows(ResultTable& table, const std::string& load, const TickWindows& windows, double factor) {
    const Lateness shell = Pooled(windows.shellLateness);
    const Lateness floor = Pooled(windows.floorLateness);
    const std::string source = windows.shellLatenessOwn ? "" : ", shell's from its journal";
    const double shellMedian = QuantileMs(shell, 0.5);
    const double floorMedian = QuantileMs(floor, 0.5);
    table.Add({"tick lateness median, " + load + source + " (ms)", Fixed(shellMedian, 2), Fixed(floorMedian, 2),
               RatioText(shellMedian, floorMedian), "", "info"});
    const double shellMean = shell.count ? shell.sumSeconds * 1000 / static_cast<double>(shell.count) : 0;
    const double floorMean = floor.count ? floor.sumSeconds * 1000 / static_cast<double>(floor.count) : 0;
    table.Add({"tick lateness mean, " + load + source + " (ms)", Fixed(shellMean, 3), Fixed(floorMean, 3),
               RatioText(shellMean, floorMean), "", "info"});
    AddPooledRow(table, "tick lateness p99, " + load + source + " (ms)", QuantileMs(shell, 0.99),
                 QuantileMs(floor, 0.99), PairedLateness(windows), 2, factor);
}

}  // namespace bench
