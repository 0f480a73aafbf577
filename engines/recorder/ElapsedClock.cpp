#include "ElapsedClock.h"

namespace recorder {

std::int64_t PerformanceCounter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void ElapsedClock::Start() {
    QueryPerformanceFrequency(&m_frequency);
    QueryPerformanceCounter(&m_start);
}

std::uint64_t ElapsedClock::Microseconds() const {
    if (!Started()) return 0;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const auto counts = static_cast<std::uint64_t>(now.QuadPart - m_start.QuadPart);
    const auto frequency = static_cast<std::uint64_t>(m_frequency.QuadPart);
    // Whole seconds and the remainder apart, so counts * 1000000 cannot overflow.
    return counts / frequency * 1000000 + counts % frequency * 1000000 / frequency;
}

}  // namespace recorder
