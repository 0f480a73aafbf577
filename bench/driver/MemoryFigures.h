// The shell's memory, read from here: its working set after start-up against
// its peak after the log bursts and the editor calls. The growth from the warm
// point on tells a leak from the pages that the first use of a path brings in.
#pragma once

#include "Harness.h"
#include "EditorFigures.h"
#include "ResultTable.h"

namespace bench {

// The shell's memory through its session.
struct MemoryTimeline {
    MemorySample start;        // after start-up
    MemorySample afterBurst;   // after the small log burst
    MemorySample beforeCalls;  // the editor's object made, no call yet
    MemorySample warm;         // after the timed calls: every path taken once
    MemorySample end;          // after the large burst and the rest of the calls
};

// `load` says what the session did in all; `floor` carries the floor
// server's memory around the same timed calls.
void AddMemoryRows(ResultTable& table, const MemoryTimeline& shell, const CallTimes& floor,
                   const std::string& load);

}  // namespace bench
