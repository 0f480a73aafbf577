// Microseconds since a starting point, from the performance counter.
#pragma once

#include <windows.h>

#include <cstdint>

namespace recorder {

// The performance counter now. Every process of the machine reads the same
// counter, so values journaled here compare with those of other processes.
std::int64_t PerformanceCounter();

class ElapsedClock {
public:
    void Start();
    bool Started() const { return m_frequency.QuadPart > 0; }
    std::uint64_t Microseconds() const;  // 0 if never started

private:
    LARGE_INTEGER m_start{};
    LARGE_INTEGER m_frequency{};
};

}  // namespace recorder
