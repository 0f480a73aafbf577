#include "MemoryFigures.h"

namespace bench {

namespace {

constexpr double kGrowthLimitKiB = 1024;

}  // namespace

void AddMemoryRows(ResultTable& table, const MemoryTimeline& shell, const CallTimes& floor,
                   const std::string& load) {
    if (!shell.start.valid || !shell.end.valid) {
        table.Add({"peak working set growth, " + load + " (KiB)", "", "", "", "memory counters unreadable", "FAIL"});
        return;
    }
    auto growth = [](const MemorySample& from, const MemorySample& to) {
        return from.valid && to.valid ? Fixed(to.workingSetKiB - from.workingSetKiB, 0) : std::string();
    };
    table.Add({"working set after start-up (KiB)", Fixed(shell.start.workingSetKiB, 0), "", "", "", "info"});
    const double peakGrowth = shell.end.peakWorkingSetKiB - shell.start.workingSetKiB;
    table.Add({"peak working set growth, " + load + " (KiB)", Fixed(peakGrowth, 0), "", "", "<= 1024",
               Verdict(peakGrowth <= kGrowthLimitKiB)});
    table.Add({"working set growth, first log burst (KiB)", growth(shell.start, shell.afterBurst), "", "", "",
               "info"});
    table.Add({"working set growth, editor object made (KiB)", growth(shell.afterBurst, shell.beforeCalls),
               growth(floor.serverReady, floor.serverMade), "", "", "info"});
    table.Add({"working set growth, timed editor calls (KiB)", growth(shell.beforeCalls, shell.warm),
               growth(floor.serverMade, floor.serverAfter), "", "", "info"});
    table.Add({"working set growth, warm to end (KiB)", growth(shell.warm, shell.end), "", "", "", "info"});
    if (shell.warm.valid)
        table.Add({"private bytes growth, warm to end (KiB)", Fixed(shell.end.privateKiB - shell.warm.privateKiB, 0),
                   "", "", "", "info"});
}

}  // namespace bench
