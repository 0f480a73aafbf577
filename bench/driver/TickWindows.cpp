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
                           double before) {
    TickWindows windows;
    std::vector<std::pair<double, double>> floorWindows;  // performance counter, microseconds
    const bool together = MeasuredTogether(load, before);
    Wait(before);
    Alternate(
        pairs,
        [&](int i) {
            if (load.on) load.on();
            if (i > 0 || before > 0) Wait(kSettleSeconds);
            journal.Poll();
            const std::size_t from = journal.TickTimes().size();
            const double fromTime = QpcToMicroseconds(QpcNow());
            Wait(kTickWindowSeconds);
            journal.Poll();
            if (together) floorWindows.emplace_back(fromTime, QpcToMicroseconds(QpcNow()));
            const std::vector<double>& all = journal.TickTimes();
            windows.shell.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
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
    return windows;
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

}  // namespace bench
