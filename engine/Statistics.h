// The shell's running figures, always on: the ticks and their timing, the
// commands by source and the property calls, the log's lines and bytes, and
// the remote console's counters. The engine's calls are timed where every
// call into the engine goes through (EngineCalls.cpp); the layers above
// count their own.
//
// Writers: the tick, command and property figures are written on the GUI
// thread only, the one thread that calls the engine, under a sequence
// counter; the log and remote counters are atomics any thread may bump.
// Recording takes no lock, allocates nothing and calls nothing of the
// system. Any thread reads a consistent copy with TakeSnapshot.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/Histogram.h"
#include "engine/ProcessFigures.h"
#include "engine/vmserver.h"

namespace stats {

// Where a command for the engine came from.
enum class CommandSource : int { Console = 0, Automation = 1, Remote = 2 };
inline constexpr int kCommandSourceCount = 3;
inline constexpr const char* kCommandSourceNames[kCommandSourceCount] = {"console", "automation", "remote"};

// The performance counter: the one clock the figures are read with.
std::int64_t Now() noexcept;

// The remote console's counters, which its server core bumps.
struct RemoteCounters {
    std::atomic<std::int64_t> connectionsOpen{0};  // up on accept, down on close
    std::atomic<std::uint64_t> signIns{0};
    std::atomic<std::uint64_t> wrongPasswords{0};
    std::atomic<std::uint64_t> lockOuts{0};
    std::atomic<std::uint64_t> refusals{0};        // connections or packets refused
};
RemoteCounters& Remote() noexcept;

struct CommandFigures {
    std::uint64_t count = 0;
    HistogramFigures time;  // inside edsrvProcess
};

// Log lines counted by category; the last slot holds categories outside 0..31.
inline constexpr int kLogCountSlots = kLogCategoryCount + 1;

// A consistent copy of every figure.
struct Snapshot {
    std::uint64_t ticks = 0;
    HistogramFigures lateness;    // from the moment a tick was due to the start of pServerTick
    HistogramFigures tickTime;    // inside pServerTick
    double ticksPerSecond = 0;    // over the last minute, or since the first tick if younger
    double rateWindowSeconds = 0; // the span ticksPerSecond was taken over
    CommandFigures commands[kCommandSourceCount];
    std::uint64_t propertyRequests = 0;  // GetProp
    std::uint64_t propertyData = 0;      // SetProp
    std::uint64_t logLines[kLogCountSlots] = {};
    std::uint64_t logLinesCut = 0;       // lines whose text went past 255 characters
    std::uint64_t logFileBytes = 0;      // bytes written to the log file, line ends as written
    std::int64_t remoteConnectionsOpen = 0;
    std::uint64_t remoteSignIns = 0;
    std::uint64_t remoteWrongPasswords = 0;
    std::uint64_t remoteLockOuts = 0;
    std::uint64_t remoteRefusals = 0;
    ProcessFigures process;
};

// Reads the figures; from any thread. The process figures are read from the
// system at the same moment.
Snapshot TakeSnapshot();

// The frame timer's period, which places each tick on its schedule. Set
// before the first tick (milliseconds, at least 1).
void SetTickPeriod(unsigned milliseconds) noexcept;

// GUI thread: one tick, from the start to the end of pServerTick.
void RecordTick(std::int64_t start, std::int64_t end) noexcept;
// GUI thread: one command, from the start to the end of edsrvProcess.
void RecordCommand(CommandSource source, std::int64_t start, std::int64_t end) noexcept;
// GUI thread: one GetProp, one SetProp.
void RecordPropertyRequest() noexcept;
void RecordPropertyData() noexcept;

// Any thread: one log line of `category` (cut: its text went past 255
// characters), and bytes that reached the log file.
void RecordLogLine(int category, bool cut) noexcept;
void RecordLogFileBytes(std::uint64_t bytes) noexcept;

}  // namespace stats
