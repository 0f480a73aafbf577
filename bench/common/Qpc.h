// The performance counter. Every process of the machine reads the same
// counter, so a time taken in one process compares with one taken in another.
#pragma once

#include <windows.h>

#include <cstdint>

namespace bench {

inline std::int64_t QpcNow() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

inline std::int64_t QpcFrequency() {
    static const std::int64_t frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return frequency;
}

inline double QpcToMicroseconds(std::int64_t counts) {
    return static_cast<double>(counts) * 1e6 / static_cast<double>(QpcFrequency());
}

}  // namespace bench
