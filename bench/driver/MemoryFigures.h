// The shell's memory, read from here. Judged: the growth of its private bytes
// from the warm point (the first log burst, the editor's object and its first
// 1,000 calls made) to the end (the large log burst and the set number of
// editor calls after it), which tells a leak from the pages that the first
// use of a path brings in. Both readings wait until the shell's thread count
// has held still, so that threads the system's pools start for calls and end
// soon after do not count as the shell's growth. Private bytes, not the
// working set, because the system may trim or page the working set whatever
// the shell holds. The working set and its peak are shown for information.
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
    MemorySample warm;         // after the object's first calls: every path taken once
    MemorySample end;          // after the large burst and the rest of the calls
};

// What the session did between the warm point and the end, against what it
// was asked to do: a growth over less is not judged.
struct WarmLoad {
    long long lines = 0;
    long long calls = 0;
    long long wantLines = 0;
    long long wantCalls = 0;
};

// `load` says what the session did in all; `floor` carries the floor
// server's memory around the same timed calls.
void AddMemoryRows(ResultTable& table, const MemoryTimeline& shell, const FloorServerMemory& floor,
                   const std::string& load, const WarmLoad& sinceWarm);

}  // namespace bench
