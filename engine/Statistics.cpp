#include "Statistics.h"

#include <windows.h>

namespace stats {

namespace {

static_assert(std::atomic<std::uint64_t>::is_always_lock_free && std::atomic<std::int64_t>::is_always_lock_free,
              "the figures must be readable without a lock on every architecture built");

constexpr auto kRelaxed = std::memory_order_relaxed;

// The performance counter's rate and the bucket bounds in its units, read
// once at start-up.
struct Clock {
    std::int64_t frequency = 1;
    std::int64_t bounds[kBoundCount] = {};
    Clock() {
        LARGE_INTEGER f;
        if (::QueryPerformanceFrequency(&f) && f.QuadPart > 0) frequency = f.QuadPart;
        for (std::size_t i = 0; i < kBoundCount; ++i)
            bounds[i] = static_cast<std::int64_t>(kBucketBoundsMs[i] * static_cast<double>(frequency) / 1000 + 0.5);
    }
    double Seconds(std::int64_t counts) const { return static_cast<double>(counts) / static_cast<double>(frequency); }
};
const Clock g_clock;

// A 64-bit figure of the GUI thread's, read under the sequence counter. A
// 64-bit atomic of a 32-bit processor moves through the x87 unit and the
// stack, dozens of cycles a figure; there it is two 32-bit halves, plain
// moves, which the sequence counter makes a consistent pair.
template <class T>
class Word {
public:
    T load(std::memory_order) const noexcept {
#if defined(_WIN64)
        return m_whole.load(kRelaxed);
#else
        return static_cast<T>((static_cast<std::uint64_t>(m_high.load(kRelaxed)) << 32) | m_low.load(kRelaxed));
#endif
    }
    void store(T value, std::memory_order) noexcept {
#if defined(_WIN64)
        m_whole.store(value, kRelaxed);
#else
        const std::uint64_t bits = static_cast<std::uint64_t>(value);
        m_low.store(static_cast<std::uint32_t>(bits), kRelaxed);
        m_high.store(static_cast<std::uint32_t>(bits >> 32), kRelaxed);
#endif
    }

private:
#if defined(_WIN64)
    std::atomic<T> m_whole{0};
#else
    std::atomic<std::uint32_t> m_low{0};
    std::atomic<std::uint32_t> m_high{0};
#endif
};

// Written by one thread only, so a load and a store count without a locked
// instruction.
void Bump(Word<std::uint64_t>& counter) noexcept { counter.store(counter.load(kRelaxed) + 1, kRelaxed); }

// A histogram of times in counter units; one writer.
class TimeHistogram {
public:
    void Add(std::int64_t duration) noexcept {
        if (duration < 0) duration = 0;
        std::size_t i = 0;
        while (i < kBoundCount && duration > g_clock.bounds[i]) ++i;  // a bucket holds times up to its bound
        Bump(m_buckets[i]);
        m_sum.store(m_sum.load(kRelaxed) + duration, kRelaxed);
        if (duration > m_max.load(kRelaxed)) m_max.store(duration, kRelaxed);
    }
    void Read(HistogramFigures& figures) const noexcept {
        figures.count = 0;
        for (std::size_t i = 0; i < kBucketCount; ++i) {
            figures.buckets[i] = m_buckets[i].load(kRelaxed);
            figures.count += figures.buckets[i];
        }
        figures.sumSeconds = g_clock.Seconds(m_sum.load(kRelaxed));
        figures.maxSeconds = g_clock.Seconds(m_max.load(kRelaxed));
    }

private:
    Word<std::uint64_t> m_buckets[kBucketCount] = {};
    Word<std::int64_t> m_sum;
    Word<std::int64_t> m_max;
};

// Ticks counted per second since the first tick, for the rate over the last
// minute: slot i holds the count of the latest second s with s % kSlots == i.
constexpr std::int64_t kRateWindow = 60;
constexpr std::size_t kSlots = 64;  // more than the window, so that no slot of it is reused early

// The figures of the GUI thread, under a sequence counter that is odd while
// they change: a reader that sees it odd, or changed after its reads, reads
// again.
struct GuiFigures {
    std::atomic<std::uint32_t> sequence{0};

    Word<std::uint64_t> ticks;
    TimeHistogram lateness;
    TimeHistogram tickTime;
    // The period in counter units: whole units, and the thousandths of a
    // unit left over, which add up tick by tick.
    Word<std::int64_t> periodCounts;
    Word<std::int64_t> periodThousandths;
    // The schedule: when the next tick is due (and its thousandths of a
    // unit). It is the earliest schedule every tick so far fits: a tick that
    // starts before its place moves the schedule back to it.
    std::atomic<bool> scheduled{false};
    Word<std::int64_t> due;
    Word<std::int64_t> dueThousandths;
    // The ticks' seconds, counted from the first tick.
    Word<std::int64_t> firstTick;  // the first tick's start
    Word<std::int64_t> second;
    Word<std::int64_t> secondStart;
    Word<std::int64_t> slotSecond[kSlots] = {};
    Word<std::uint64_t> slotTicks[kSlots] = {};

    Word<std::uint64_t> commands[kCommandSourceCount] = {};
    TimeHistogram commandTime[kCommandSourceCount];
    Word<std::uint64_t> propertyRequests;
    Word<std::uint64_t> propertyData;
};
GuiFigures g_gui;

// The other threads' figures: each an atomic of its own.
struct SharedFigures {
    std::atomic<std::uint64_t> logLines[kLogCountSlots] = {};
    std::atomic<std::uint64_t> logLinesCut{0};
    std::atomic<std::uint64_t> logFileBytes{0};
};
SharedFigures g_shared;
RemoteCounters g_remote;

// Brackets a change of the GUI thread's figures.
class Writing {
public:
    Writing() noexcept {
        const std::uint32_t s = g_gui.sequence.load(kRelaxed);
        g_gui.sequence.store(s + 1, kRelaxed);
        std::atomic_thread_fence(std::memory_order_release);
    }
    ~Writing() { g_gui.sequence.store(g_gui.sequence.load(kRelaxed) + 1, std::memory_order_release); }
    Writing(const Writing&) = delete;
    Writing& operator=(const Writing&) = delete;
};

void ReadGuiFigures(Snapshot& s, std::int64_t& firstTick) noexcept {
    s.ticks = g_gui.ticks.load(kRelaxed);
    g_gui.lateness.Read(s.lateness);
    g_gui.tickTime.Read(s.tickTime);
    for (int i = 0; i < kCommandSourceCount; ++i) {
        s.commands[i].count = g_gui.commands[i].load(kRelaxed);
        g_gui.commandTime[i].Read(s.commands[i].time);
    }
    s.propertyRequests = g_gui.propertyRequests.load(kRelaxed);
    s.propertyData = g_gui.propertyData.load(kRelaxed);
    firstTick = g_gui.firstTick.load(kRelaxed);
}

// The rate over the whole seconds before `now`, at most the last minute's;
// read under the sequence counter with the rest.
void ReadRate(Snapshot& s, std::int64_t firstTick, std::int64_t now) noexcept {
    s.ticksPerSecond = 0;
    s.rateWindowSeconds = 0;
    if (s.ticks == 0 || now < firstTick) return;
    const std::int64_t second = (now - firstTick) / g_clock.frequency;
    const std::int64_t from = second > kRateWindow ? second - kRateWindow : 0;
    if (second == from) {
        // Younger than a second: the ticks so far over the time so far.
        const double span = g_clock.Seconds(now - firstTick);
        s.rateWindowSeconds = span;
        s.ticksPerSecond = span > 0 ? static_cast<double>(s.ticks) / span : 0;
        return;
    }
    std::uint64_t ticks = 0;
    for (std::size_t i = 0; i < kSlots; ++i) {
        const std::int64_t slot = g_gui.slotSecond[i].load(kRelaxed);
        if (slot >= from && slot < second) ticks += g_gui.slotTicks[i].load(kRelaxed);
    }
    s.rateWindowSeconds = static_cast<double>(second - from);
    s.ticksPerSecond = static_cast<double>(ticks) / s.rateWindowSeconds;
}

}  // namespace

std::int64_t Now() noexcept {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

RemoteCounters& Remote() noexcept { return g_remote; }

void SetTickPeriod(unsigned milliseconds) noexcept {
    const std::int64_t ms = milliseconds ? milliseconds : 1;
    const Writing writing;
    g_gui.periodCounts.store(ms * g_clock.frequency / 1000, kRelaxed);
    g_gui.periodThousandths.store(ms * g_clock.frequency % 1000, kRelaxed);
    g_gui.scheduled.store(false, kRelaxed);
}

// No division here but once a second: on 32-bit processors a 64-bit
// division is a call of its own.
void RecordTick(std::int64_t start, std::int64_t end) noexcept {
    const Writing writing;
    const std::uint64_t ticks = g_gui.ticks.load(kRelaxed);
    if (ticks == 0) {
        g_gui.firstTick.store(start, kRelaxed);
        g_gui.second.store(0, kRelaxed);
        g_gui.secondStart.store(start, kRelaxed);
    }

    std::int64_t due = start;
    std::int64_t thousandths = 0;
    if (g_gui.scheduled.load(kRelaxed)) {
        due = g_gui.due.load(kRelaxed);
        thousandths = g_gui.dueThousandths.load(kRelaxed);
    }
    std::int64_t late = start - due;
    if (late < 0) {  // early: the schedule was earlier than thought
        due = start;
        thousandths = 0;
        late = 0;
    }
    due += g_gui.periodCounts.load(kRelaxed);
    thousandths += g_gui.periodThousandths.load(kRelaxed);
    if (thousandths >= 1000) {
        thousandths -= 1000;
        ++due;
    }
    g_gui.due.store(due, kRelaxed);
    g_gui.dueThousandths.store(thousandths, kRelaxed);
    g_gui.scheduled.store(true, kRelaxed);

    g_gui.lateness.Add(late);
    g_gui.tickTime.Add(end - start);
    g_gui.ticks.store(ticks + 1, kRelaxed);

    std::int64_t second = g_gui.second.load(kRelaxed);
    if (start - g_gui.secondStart.load(kRelaxed) >= g_clock.frequency) {
        const std::int64_t first = g_gui.firstTick.load(kRelaxed);
        second = (start - first) / g_clock.frequency;
        g_gui.second.store(second, kRelaxed);
        g_gui.secondStart.store(first + second * g_clock.frequency, kRelaxed);
    }
    const std::size_t slot = static_cast<std::size_t>(second % static_cast<std::int64_t>(kSlots));
    if (g_gui.slotSecond[slot].load(kRelaxed) != second) {
        g_gui.slotSecond[slot].store(second, kRelaxed);
        g_gui.slotTicks[slot].store(1, kRelaxed);
    } else {
        Bump(g_gui.slotTicks[slot]);
    }
}

void RecordCommand(CommandSource source, std::int64_t start, std::int64_t end) noexcept {
    const int i = static_cast<int>(source);
    if (i < 0 || i >= kCommandSourceCount) return;
    const Writing writing;
    Bump(g_gui.commands[i]);
    g_gui.commandTime[i].Add(end - start);
}

void RecordPropertyRequest() noexcept {
    const Writing writing;
    Bump(g_gui.propertyRequests);
}

void RecordPropertyData() noexcept {
    const Writing writing;
    Bump(g_gui.propertyData);
}

void RecordLogLine(int category, bool cut) noexcept {
    const int slot = category >= 0 && category < kLogCategoryCount ? category : kLogCategoryCount;
    g_shared.logLines[slot].fetch_add(1, kRelaxed);
    if (cut) g_shared.logLinesCut.fetch_add(1, kRelaxed);
}

void RecordLogFileBytes(std::uint64_t bytes) noexcept { g_shared.logFileBytes.fetch_add(bytes, kRelaxed); }

Snapshot TakeSnapshot() {
    Snapshot s;
    for (unsigned attempt = 0;; ++attempt) {
        const std::uint32_t before = g_gui.sequence.load(std::memory_order_acquire);
        if ((before & 1) == 0) {
            std::int64_t firstTick = 0;
            ReadGuiFigures(s, firstTick);
            // The rate's slots are read under the same count; the clock
            // before them, so that no slot is newer than the time.
            ReadRate(s, firstTick, Now());
            std::atomic_thread_fence(std::memory_order_acquire);
            if (g_gui.sequence.load(kRelaxed) == before) break;
        }
        // The GUI thread is inside a change of a few stores; should it have
        // been preempted there, give it the processor.
        if (attempt < 64)
            YieldProcessor();
        else
            ::SwitchToThread();
    }
    for (int i = 0; i < kLogCountSlots; ++i) s.logLines[i] = g_shared.logLines[i].load(kRelaxed);
    s.logLinesCut = g_shared.logLinesCut.load(kRelaxed);
    s.logFileBytes = g_shared.logFileBytes.load(kRelaxed);
    s.remoteConnectionsOpen = g_remote.connectionsOpen.load(kRelaxed);
    s.remoteSignIns = g_remote.signIns.load(kRelaxed);
    s.remoteWrongPasswords = g_remote.wrongPasswords.load(kRelaxed);
    s.remoteLockOuts = g_remote.lockOuts.load(kRelaxed);
    s.remoteRefusals = g_remote.refusals.load(kRelaxed);
    s.process = ReadProcessFigures();
    return s;
}

}  // namespace stats
