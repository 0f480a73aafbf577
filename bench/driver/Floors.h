// Runs the floor programs, the bare programs that measure what the platform
// alone costs, and reads back what they report.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Harness.h"
#include "Paths.h"

namespace bench {

// Tick times written one a line, as floor_timer and floor_rcon -Echo write
// them: microseconds of the performance counter.
std::vector<double> ReadTickFile(const std::string& path);

// floor_timer started to run for `seconds` beside whatever else runs; its
// tick times, in microseconds of the performance counter (QpcToMicroseconds
// of QpcNow), are read once it has ended.
class TimerFloorRun {
public:
    TimerFloorRun(const Paths& paths, double seconds, int busyMs);
    bool Started() const { return m_child.Started(); }
    // Waits for its end; empty if it failed.
    std::vector<double> Ticks();

private:
    std::string m_output;
    double m_seconds;
    Child m_child;
};

// floor_log: microseconds for a burst of `count` lines of `length` characters
// into the pane ("pane") or a buffered file ("file").
std::optional<double> RunLogFloor(const Paths& paths, const char* mode, long long count, int length);

// floor_startup: microseconds from the CreateProcess call to its first paint;
// with `ole`, OLE is initialised first.
std::optional<double> RunStartupFloor(const Paths& paths, bool ole = false);

// floor_shellstart, run in the start tree `root`: microseconds from the
// CreateProcess call to its first paint, and the time of each step before it.
struct FullStartFloor {
    struct Step {
        const char* key;  // as the floor writes it
        const char* name;
        double us = 0;
    };
    double toFirstPaintUs = 0;
    static constexpr std::size_t kSteps = 6;
    Step steps[kSteps] = {{"prepare_us", "directory, window class (first user32 call)"}, {"ole_us", "OleInitialize"},
                     {"registry_us", "class registry entries"}, {"typelib_us", "type library registration"},
                     {"engine_us", "engine library load"}, {"timer_us", "multimedia timer start"}};
};
std::optional<FullStartFloor> RunShellStartFloor(const Paths& paths, const std::string& root);

}  // namespace bench
