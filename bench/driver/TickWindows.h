// Tick runs in windows: a started shell and a tick floor (floor_timer) run
// side by side for the whole run, and their ticks are counted in turn, in
// alternating windows (Interleave.h). A load that only the shell takes is
// switched on for the shell's windows and off for the floor's; without one,
// both are counted in the same windows. Each pair of windows gives one ratio
// of a figure.
#pragma once

#include <functional>
#include <vector>

#include "Floors.h"
#include "Harness.h"
#include "Interleave.h"
#include "TickStats.h"

namespace bench {

// About 100 ticks a window, so that a window's p99 is nearly its slowest tick.
inline constexpr double kTickWindowSeconds = 2.8;

// The number of pairs of windows for `seconds` of ticks counted on each side.
int TickWindowPairs(double seconds);

// What loads the shell in its windows and not in the floor's; either may be empty.
struct ShellLoad {
    std::function<void()> on;
    std::function<void()> off;
};

// Without a load of the shell's own, and once both have settled, the shell
// and the floor are counted in the same windows rather than in turn: what
// stalls the machine then falls on both of a pair at once.
bool MeasuredTogether(const ShellLoad& load, double before);

// How long the floor must run for the pairs, after `before` seconds from its
// start to the first window.
double TickFloorSeconds(int pairs, double before, const ShellLoad& load);

// The tick times (microseconds) of each window, the shell's and the floor's.
struct TickWindows {
    std::vector<std::vector<double>> shell;
    std::vector<std::vector<double>> floor;
};

// Waits `before` seconds, then runs the pairs of windows, the shell's first
// (its ticks read from the recording engine's `journal`);
// the floor's ticks are cut into its windows once it has ended. With a
// `before` of 0 the shell's first window starts at once, without settling.
TickWindows RunTickWindows(Journal& journal, TimerFloorRun& floor, int pairs, const ShellLoad& load,
                           double before);

// Each pair's figure, `figure` of the window's TickStats; pairs of which a
// side has fewer than two ticks are left out.
PairedFigure PairedTicks(const TickWindows& windows, double (*figure)(const TickStats&));

inline double TickErrorP99(const TickStats& stats) { return stats.p99ErrorMs; }
inline double TickIntervalMax(const TickStats& stats) { return stats.maxMs; }

}  // namespace bench
