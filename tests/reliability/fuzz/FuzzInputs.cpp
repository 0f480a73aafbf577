#include "FuzzInputs.h"

#include <cstdio>
#include <cstdlib>

namespace fuzz {
namespace {

constexpr std::uint64_t kDefaultSeed = 0x56454C4D4F52ull;  // fixed: every run the same
constexpr double kDefaultSeconds = 20;

double BudgetSeconds() {
    const char* text = std::getenv("VELMOR_FUZZ_SECONDS");
    const double seconds = text ? std::atof(text) : kDefaultSeconds;
    return seconds > 0 ? seconds : kDefaultSeconds;
}

const char* const kInserts[] = {"%n", "%s", "%n%n%n%n", "%s%s%s%s", "%999999999d", "%x%x%x",
                                "%p", "%%", "%", "\r", "\n", "\r\n", "\n\r", "\t", "\\"};

}  // namespace

std::uint64_t Seed() {
    static const std::uint64_t seed = [] {
        const char* text = std::getenv("VELMOR_FUZZ_SEED");
        const std::uint64_t s = text ? std::strtoull(text, nullptr, 0) : kDefaultSeed;
        std::printf("fuzz seed %llu (set VELMOR_FUZZ_SEED to repeat), %.0f s in all\n",
                    static_cast<unsigned long long>(s), BudgetSeconds());
        return s;
    }();
    return seed;
}

Deadline::Deadline(double share)
    : m_end(std::chrono::steady_clock::now() +
            std::chrono::milliseconds(static_cast<long long>(BudgetSeconds() * share * 1000))) {}

const std::vector<std::int64_t>& BoundaryNumbers() {
    static const std::vector<std::int64_t> numbers = [] {
        std::vector<std::int64_t> n;
        for (int bit = 0; bit <= 32; ++bit) {
            const std::int64_t p = std::int64_t{1} << bit;
            for (std::int64_t d : {-2, -1, 0, 1, 2}) {
                n.push_back(p + d);
                n.push_back(-(p + d));
            }
        }
        return n;
    }();
    return numbers;
}

int BoundaryInt(Random& random) {
    if (random.Chance(30)) return static_cast<int>(random.Below(48)) - 8;
    return static_cast<int>(static_cast<std::uint32_t>(random.Pick(BoundaryNumbers())));
}

const std::vector<std::size_t>& BoundaryLengths() {
    static const std::vector<std::size_t> lengths = [] {
        std::vector<std::size_t> l;
        for (std::size_t k = 0; k <= 8192; k += 64)
            for (std::size_t d = 0; d <= 4; ++d)
                if (k + d >= 2) l.push_back(k + d - 2);
        for (std::size_t big : {16384u, 32768u, 1048576u})
            for (std::size_t d = 0; d <= 4; ++d) l.push_back(big + d - 2);
        return l;
    }();
    return lengths;
}

std::size_t Length(Random& random) {
    if (random.Chance(40)) return random.Below(300);
    // The longest lengths are costly: rarely.
    std::size_t length = random.Pick(BoundaryLengths());
    while (length > 20000 && !random.Chance(5)) length = random.Pick(BoundaryLengths());
    return length;
}

std::string Text(Random& random, std::size_t length) {
    std::string text(length, 'a');
    const int mode = static_cast<int>(random.Below(3));
    for (char& c : text) {
        if (mode == 1) c = static_cast<char>('a' + random.Below(26) + (random.Chance(50) ? 0 : 'A' - 'a'));
        if (mode == 2) c = static_cast<char>(1 + random.Below(255));
    }
    const std::size_t inserts = length ? random.Below(6) : 0;
    for (std::size_t i = 0; i < inserts; ++i) {
        const std::string insert = kInserts[random.Below(std::size(kInserts))];
        const std::size_t at = random.Below(length);
        text.replace(at, std::min(insert.size(), length - at), insert.substr(0, length - at));
    }
    return text;
}

std::string Path(Random& random, std::size_t length) {
    static const char* const parts[] = {"C:", "Z:", "\\", "\\", "/", ".", "..", "system",
                                        "System", "Velmor", "a b", "\xE9t\xE9", "%s", "~1"};
    std::string path;
    while (path.size() < length) path += parts[random.Below(std::size(parts))];
    path.resize(length);
    return path;
}

}  // namespace fuzz
