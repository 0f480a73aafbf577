// Counts server ticks and measures the time since the engine started.
#pragma once

#include <windows.h>

#include <cstdint>

namespace demo {

class TickClock {
public:
    void Start();  // resets the count and the start time
    void Tick() { ++m_ticks; }

    std::uint64_t Ticks() const { return m_ticks; }
    double SecondsSinceStart() const;
    double TicksPerSecond() const;  // 0 until some time has passed

private:
    std::uint64_t m_ticks = 0;
    LARGE_INTEGER m_start{};
    LARGE_INTEGER m_frequency{};
};

}  // namespace demo
