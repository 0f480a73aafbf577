// Microseconds since a starting point, from the performance counter.
#pragma once

#include <windows.h>

#include <cstdint>

namespace recorder {

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
