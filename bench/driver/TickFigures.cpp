#include "TickFigures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

#include "Automation.h"
#include "ExecLoad.h"
#include "Floors.h"
#include "Harness.h"
#include "Stats.h"
#include "TickStats.h"

namespace bench {

namespace {

// The first second of a run is its start, not its pace.
constexpr double kSettleSeconds = 1;
constexpr int kBusyMs = 20;
constexpr double kPaceTolerance = 0.005;     // rate within 0.5 % of 1000 / 28
constexpr double kLogPaceTolerance = 0.01;   // while logging: within 1 %
constexpr double kFloorFactor = 1.2;
constexpr auto kStartTimeout = std::chrono::seconds(60);

std::chrono::milliseconds RunLength(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>((seconds + kSettleSeconds) * 1000));
}

// Closes the shell and counts its ticks from the `first` journaled one on.
// A shell whose queue is full of late ticks does not reach its Close in time;
// it is ended then, which loses nothing: the journal is written through.
TickStats CloseAndCount(ShellProcess& run, std::chrono::milliseconds closeTimeout, std::size_t first,
                        double settleSeconds) {
    if (!run.Close(closeTimeout)) run.Kill();
    run.EngineJournal().Poll();
    const std::vector<double>& all = run.EngineJournal().TickTimes();
    const std::vector<double> counted(all.begin() + static_cast<std::ptrdiff_t>(std::min(first, all.size())),
                                      all.end());
    return ComputeTickStats(counted, settleSeconds);
}

// Lets a started shell tick for the run's length, then closes it.
TickStats TimeShell(ShellProcess& run, double seconds, std::chrono::milliseconds closeTimeout) {
    std::this_thread::sleep_for(RunLength(seconds));
    return CloseAndCount(run, closeTimeout, 0, kSettleSeconds);
}

TickStats TimeFloor(const Paths& paths, double seconds, int busyMs) {
    std::printf("  tick floor, busy %d ms, %.0f s\n", busyMs, seconds + kSettleSeconds);
    std::fflush(stdout);
    return ComputeTickStats(RunTimerFloor(paths, seconds + kSettleSeconds, busyMs), kSettleSeconds);
}

bool Usable(const TickStats& stats) { return stats.ticks >= 2; }

void AddPaceRows(ResultTable& table, const std::string& load, const TickStats& shell,
                 const TickStats& floor, double tolerance) {
    const double rateError = std::fabs(shell.rate / kIdealTickRate - 1);
    char target[64];
    std::snprintf(target, sizeof target, "%.3f +-%.1f%%", kIdealTickRate, tolerance * 100);
    table.Add({"tick rate, " + load + " (/s)", Fixed(shell.rate, 3), Fixed(floor.rate, 3),
               RatioText(shell.rate, floor.rate), target, Verdict(rateError <= tolerance)});
    table.Add({"tick interval median, " + load + " (ms)", Fixed(shell.medianMs, 2),
               Fixed(floor.medianMs, 2), RatioText(shell.medianMs, floor.medianMs), "", "info"});
    table.Add({"tick interval p99, " + load + " (ms)", Fixed(shell.p99Ms, 2), Fixed(floor.p99Ms, 2),
               RatioText(shell.p99Ms, floor.p99Ms), "", "info"});
    table.Add({"tick interval max, " + load + " (ms)", Fixed(shell.maxMs, 2), Fixed(floor.maxMs, 2),
               RatioText(shell.maxMs, floor.maxMs), "", "info"});
    table.Add({"tick drift over run, " + load + " (ms)", Fixed(shell.driftMs, 1), Fixed(floor.driftMs, 1),
               "", "", "info"});
    table.Add({"ticks lost or merged, " + load, std::to_string(shell.lost), std::to_string(floor.lost), "",
               "0", Verdict(shell.lost <= 0)});
}

void AddJitterRow(ResultTable& table, const std::string& load, const TickStats& shell,
                  const TickStats& floor) {
    table.Add({"tick interval error p99, " + load + " (ms)", Fixed(shell.p99ErrorMs, 2),
               Fixed(floor.p99ErrorMs, 2), RatioText(shell.p99ErrorMs, floor.p99ErrorMs),
               "<= 1.2x floor", Verdict(shell.p99ErrorMs <= kFloorFactor * floor.p99ErrorMs)});
}

void Failed(ResultTable& table, const std::string& load, const std::string& why) {
    std::fprintf(stderr, "driver: tick run %s: %s\n", load.c_str(), why.c_str());
    table.Add({"tick rate, " + load + " (/s)", "", "", "", why, "FAIL"});
}

void IdleAndBusy(const Paths& paths, const Options& options, ResultTable& table, PlotData& plot,
                 const TickStats& idleFloor) {
    for (int busyMs : {0, kBusyMs}) {
        const std::string load = busyMs ? "engine busy 20 ms" : "idle";
        const std::string name = busyMs ? "busy" : "idle";
        std::printf("  shell ticks, %s, %.0f s\n", load.c_str(), options.seconds + kSettleSeconds);
        std::fflush(stdout);
        const std::string commands = busyMs ? "ontick rec.sleep " + std::to_string(busyMs) + "\n" : "";
        const ScratchTree tree = StartTree("tick-" + name, commands);
        ShellProcess run(tree);
        if (!run.WaitEngineStarted(kStartTimeout)) {
            Failed(table, load, "the shell did not start");
            continue;
        }
        const TickStats shell = TimeShell(run, options.seconds, std::chrono::seconds(30));
        const TickStats floor = busyMs ? TimeFloor(paths, options.seconds, busyMs) : idleFloor;
        if (!Usable(shell) || !Usable(floor)) {
            Failed(table, load, "too few ticks");
            continue;
        }
        AddPaceRows(table, load, shell, floor, kPaceTolerance);
        AddJitterRow(table, load, shell, floor);
        // Floors on the left of the plot, the shell on the right.
        if (busyMs) plot.AddTickSeries("floor-" + name, "floor, " + load, floor);
        plot.AddTickSeries("shell-" + name, "shell, " + load, shell);
    }
}

void UnderExecLoad(const Options& options, ResultTable& table, PlotData& plot,
                   const TickStats& idleFloor) {
    const std::string load = "Exec loop";
    const ScratchTree tree = StartTree("tick-exec", "");
    CLSID clsid{};
    std::string why;
    if (!AutomationReady(tree, clsid, why)) {
        table.Pending("tick pacing, " + load, why);
        return;
    }
    std::printf("  shell ticks, %s, %.0f s\n", load.c_str(), options.seconds + kSettleSeconds);
    std::fflush(stdout);
    ShellProcess run(tree, "-Embedding");
    if (!run.WaitEngineStarted(kStartTimeout)) {
        Failed(table, load, "the shell did not start");
        return;
    }
    ExecLoad client(clsid);
    if (!client.WaitConnected(30000)) {
        char why[64];
        std::snprintf(why, sizeof why, "no editor server object (0x%08lX)",
                      static_cast<unsigned long>(client.Result()));
        Failed(table, load, why);
        return;
    }
    // Counted from the first tick after the client has its object, for the
    // length of the run without settling: the shell is long started.
    run.EngineJournal().Poll();
    const std::size_t first = run.EngineJournal().TickTimes().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long long>(options.seconds * 1000)));
    client.Stop();
    const long long calls = client.Calls();
    const TickStats shell = CloseAndCount(run, std::chrono::seconds(30), first, 0);
    if (!Usable(shell)) {
        Failed(table, load, "too few ticks");
        return;
    }
    AddPaceRows(table, load, shell, idleFloor, kPaceTolerance);
    AddJitterRow(table, load, shell, idleFloor);
    table.Add({"Exec calls during the run (/s)", Fixed(static_cast<double>(calls) / shell.seconds, 0), "",
               "", "", SUCCEEDED(client.Result()) ? "info" : "FAIL"});
    plot.AddTickSeries("shell-exec", "shell, " + load, shell);
}

void WhileLogging(const Options& options, ResultTable& table, PlotData& plot,
                  const TickStats& idleFloor) {
    const std::string load = "100 lines per tick";
    std::printf("  shell ticks, %s, %.0f s\n", load.c_str(), options.seconds + kSettleSeconds);
    std::fflush(stdout);
    const ScratchTree tree = StartTree("tick-log", "ontick rec.time tickburst rec.logrepeat 1 100 60\n");
    ShellProcess run(tree);
    if (!run.WaitEngineStarted(kStartTimeout)) {
        Failed(table, load, "the shell did not start");
        return;
    }
    const TickStats shell = TimeShell(run, options.seconds, std::chrono::seconds(5));
    std::vector<double> bursts;
    for (const TimeNote& note : run.EngineJournal().Times())
        if (note.label == "tickburst") bursts.push_back(note.microseconds / 1000);
    if (!Usable(shell)) {
        Failed(table, load, "too few ticks");
        return;
    }
    const double rateError = std::fabs(shell.rate / kIdealTickRate - 1);
    table.Add({"tick rate, " + load + " (/s)", Fixed(shell.rate, 3), Fixed(idleFloor.rate, 3),
               RatioText(shell.rate, idleFloor.rate), "35.714 +-1.0%",
               Verdict(rateError <= kLogPaceTolerance)});
    table.Add({"tick gap max, " + load + " (ms)", Fixed(shell.maxMs, 2), Fixed(idleFloor.maxMs, 2),
               RatioText(shell.maxMs, idleFloor.maxMs), "<= 1.2x floor",
               Verdict(shell.maxMs <= kFloorFactor * idleFloor.maxMs)});
    table.Add({"log burst per tick, median (ms)", Fixed(Median(bursts), 2), "", "", "", "info"});
    table.Add({"log burst per tick, max (ms)", Fixed(Maximum(bursts), 2), "", "", "<= 28 (one period)",
               Verdict(!bursts.empty() && Maximum(bursts) <= kTickPeriodMs)});
    table.Add({"ticks lost or merged, " + load, std::to_string(shell.lost), std::to_string(idleFloor.lost),
               "", "", "info"});
    plot.AddTickSeries("shell-log", "shell, " + load, shell);
}

}  // namespace

void RunTickFigures(const Paths& paths, const Options& options, ResultTable& table, PlotData& plot) {
    std::printf("Tick pacing\n");
    const TickStats idleFloor = TimeFloor(paths, options.seconds, 0);
    if (!Usable(idleFloor)) {
        Failed(table, "idle", "the tick floor failed");
        return;
    }
    plot.AddTickSeries("floor-idle", "floor, idle", idleFloor);
    IdleAndBusy(paths, options, table, plot, idleFloor);
    UnderExecLoad(options, table, plot, idleFloor);
    WhileLogging(options, table, plot, idleFloor);
}

}  // namespace bench
