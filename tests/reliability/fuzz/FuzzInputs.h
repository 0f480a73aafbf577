// Random inputs for the randomized runs: a generator from one seed (fixed, or
// VELMOR_FUZZ_SEED; printed so that a failure reproduces), a time budget
// (VELMOR_FUZZ_SECONDS for all runs together, 20 by default), and the values
// that break servers most often: powers of two and their neighbours, lengths
// around every 64-byte boundary and far beyond, printf conversions inside
// texts, line breaks, bytes outside ASCII, long paths.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace fuzz {

class Random {
public:
    explicit Random(std::uint64_t seed) : m_engine(seed) {}
    std::uint64_t Next() { return m_engine(); }
    std::uint64_t Below(std::uint64_t n) { return n ? Next() % n : 0; }
    bool Chance(int percent) { return Below(100) < static_cast<std::uint64_t>(percent); }
    template <class T>
    const T& Pick(const std::vector<T>& items) { return items[Below(items.size())]; }

private:
    std::mt19937_64 m_engine;
};

// The seed of this run, printed on first use.
std::uint64_t Seed();

// Ends a run after its share of the budget.
class Deadline {
public:
    explicit Deadline(double share);
    bool Passed() const { return std::chrono::steady_clock::now() >= m_end; }

private:
    std::chrono::steady_clock::time_point m_end;
};

// 1, 2, 4 ... 2^32, each also plus and minus 1 and 2, and all of them negated.
const std::vector<std::int64_t>& BoundaryNumbers();
// A boundary number, or a small one, as a 32-bit int (wrapping as a cast does).
int BoundaryInt(Random& random);
// Lengths 64k-2 .. 64k+2 up to 8192, then around 16 K, 32 K and 1 MiB.
const std::vector<std::size_t>& BoundaryLengths();
// A length: a boundary one mostly, sometimes a small random one.
std::size_t Length(Random& random);

// A text of `length` bytes, none of them NUL: letters, or any byte, with
// printf conversions and line breaks put in here and there.
std::string Text(Random& random, std::size_t length);
// A path-like text of about `length` bytes: drive, separators, dots, names.
std::string Path(Random& random, std::size_t length);

}  // namespace fuzz
