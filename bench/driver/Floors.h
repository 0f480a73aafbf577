// Runs the floor programs, the bare programs that measure what the platform
// alone costs, and reads back what they report.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Paths.h"

namespace bench {

// floor_timer: tick start times in microseconds, empty if it failed.
std::vector<double> RunTimerFloor(const Paths& paths, double seconds, int busyMs);

// floor_log: microseconds for a burst of `count` lines of `length` characters
// into the pane ("pane") or a buffered file ("file").
std::optional<double> RunLogFloor(const Paths& paths, const char* mode, long long count, int length);

// floor_startup: microseconds from the CreateProcess call to its first paint;
// with `ole`, OLE is initialised first.
std::optional<double> RunStartupFloor(const Paths& paths, bool ole = false);

}  // namespace bench
