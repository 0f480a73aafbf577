// The process's own figures, read from the system when asked: how long it
// has run, its memory, its handles and window objects (a leak shows here
// first), and the processor time it has used.
#pragma once

#include <cstdint>

namespace stats {

struct ProcessFigures {
    double uptimeSeconds = 0;      // since the process was created
    double cpuSeconds = 0;         // user and kernel time together
    std::uint64_t privateBytes = 0;
    std::uint64_t workingSetBytes = 0;
    std::uint64_t handles = 0;     // these three 0 where the system does not count them (Wine)
    std::uint64_t userObjects = 0;
    std::uint64_t gdiObjects = 0;
};

// Figures the system does not give stay 0.
ProcessFigures ReadProcessFigures() noexcept;

// The build: its version ("1.0.0.0") and architecture ("win32", "win64").
const char* BuildVersion() noexcept;
const char* BuildArchitecture() noexcept;

}  // namespace stats
