#include "MemoryFigures.h"

namespace bench {

namespace {

constexpr double kWarmGrowthLimitKiB = 256;

}  // namespace

void AddMemoryRows(ResultTable& table, const MemoryTimeline& shell, const FloorServerMemory& floor,
                   const std::string& load, const WarmLoad& sinceWarm) {
    const std::string judged = "private bytes growth from warm, " + std::to_string(sinceWarm.lines) + " lines + " +
                               std::to_string(sinceWarm.calls) + " calls (KiB)";
    if (!shell.start.valid || !shell.warm.valid || !shell.end.valid) {
        table.Add({judged, "", "", "", "memory counters unreadable", "FAIL"});
        return;
    }
    auto growth = [](const MemorySample& from, const MemorySample& to) {
        return from.valid && to.valid ? Fixed(to.workingSetKiB - from.workingSetKiB, 0) : std::string();
    };
    const double warmGrowth = shell.end.privateKiB - shell.warm.privateKiB;
    if (sinceWarm.lines >= sinceWarm.wantLines && sinceWarm.calls >= sinceWarm.wantCalls)
        table.Add({judged, Fixed(warmGrowth, 0), "", "", "<= 256", Verdict(warmGrowth <= kWarmGrowthLimitKiB)});
    else
        table.Pending(judged, "not judged: less than " + std::to_string(sinceWarm.wantLines) + " lines + " +
                                  std::to_string(sinceWarm.wantCalls) + " calls since warm (grew " +
                                  Fixed(warmGrowth, 0) + " KiB)");
    table.Add({"working set growth from warm (KiB)", growth(shell.warm, shell.end), "", "", "", "info"});
    table.Add({"shell threads at warm and at the end", std::to_string(shell.warm.threads) + ", " +
                                                           std::to_string(shell.end.threads), "", "", "", "info"});
    table.Add({"working set after start-up (KiB)", Fixed(shell.start.workingSetKiB, 0), "", "", "", "info"});
    table.Add({"private bytes after start-up (KiB)", Fixed(shell.start.privateKiB, 0), "", "", "", "info"});
    table.Add({"peak working set growth from start-up, " + load + " (KiB)",
               Fixed(shell.end.peakWorkingSetKiB - shell.start.workingSetKiB, 0), "", "", "", "info"});
    table.Add({"working set growth, first log burst (KiB)", growth(shell.start, shell.afterBurst), "", "", "",
               "info"});
    table.Add({"working set growth, editor object made (KiB)", growth(shell.afterBurst, shell.beforeCalls),
               growth(floor.serverReady, floor.serverMade), "", "", "info"});
    table.Add({"working set growth, first 1000 editor calls (KiB)", growth(shell.beforeCalls, shell.warm), "",
               "", "", "info"});
    table.Add({"working set growth, floor server's timed calls (KiB)", "", growth(floor.serverMade, floor.serverAfter),
               "", "", "info"});
}

}  // namespace bench
