// Tick runs in windows: a started shell and a tick floor (floor_timer) run
// side by side for the whole run, and their ticks are counted in turn, in
// alternating windows (Interleave.h). A load that only the shell takes is
// switched on for the shell's windows and off for the floor's; without one,
// both are counted in the same windows. Each pair of windows gives one ratio
// of a figure.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Floors.h"
#include "Harness.h"
#include "Interleave.h"
#include "ResultTable.h"
#include "TickLateness.h"
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

// Reads the shell's own lateness histogram, counted since its start (from
// its metrics endpoint); nothing when it cannot.
using LatenessReader = std::function<std::optional<Lateness>()>;

// The tick times (microseconds) of each window, the shell's and the floor's,
// and each window's lateness: the floor's counted from its tick times as the
// shell counts its own; the shell's read from the shell before and after the
// window, or counted from its journal's tick times the same way as the
// floor's where it could not be read.
struct TickWindows {
    std::vector<std::vector<double>> shell;
    std::vector<std::vector<double>> floor;
    std::vector<Lateness> shellLateness;
    std::vector<Lateness> floorLateness;
    bool shellLatenessOwn = false;  // read from the shell itself
};

// Waits `before` seconds, then runs the pairs of windows, the shell's first
// (its ticks read from the recording engine's `journal`);
// the floor's ticks are cut into its windows once it has ended. With a
// `before` of 0 the shell's first window starts at once, without settling.
// The shell's lateness is read with `lateness` where one is given.
TickWindows RunTickWindows(Journal& journal, TimerFloorRun& floor, int pairs, const ShellLoad& load,
                           double before, const LatenessReader& lateness = {});

// Each pair's figure, `figure` of the window's TickStats; pairs of which a
// side has fewer than two ticks are left out.
PairedFigure PairedTicks(const TickWindows& windows, double (*figure)(const TickStats&));

// Each pair's lateness p99 (milliseconds).
PairedFigure PairedLateness(const TickWindows& windows);

// The judged tail of a windowed run: the lateness p99 that the shell counts
// for itself against the floor's, counted alike, over all windows, judged
// "<= factor x floor"; and the medians for information.
void AddLatenessRows(ResultTable& table, const std::string& load, const TickWindows& windows, double factor);

inline double TickErrorP99(const TickStats& stats) { return stats.p99ErrorMs; }
inline double TickIntervalMax(const TickStats& stats) { return stats.maxMs; }

}  // namespace bench
