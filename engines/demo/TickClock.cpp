#include "TickClock.h"

namespace demo {

void TickClock::Start() {
    m_ticks = 0;
    QueryPerformanceFrequency(&m_frequency);
    QueryPerformanceCounter(&m_start);
}

double TickClock::SecondsSinceStart() const {
    if (m_frequency.QuadPart <= 0) return 0.0;  // never started
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - m_start.QuadPart) /
           static_cast<double>(m_frequency.QuadPart);
}

double TickClock::TicksPerSecond() const {
    const double seconds = SecondsSinceStart();
    return seconds > 0.0 ? static_cast<double>(m_ticks) / seconds : 0.0;
}

}  // namespace demo
