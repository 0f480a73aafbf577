#include "TickFigures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Automation.h"
#include "ExecLoad.h"
#include "Floors.h"
#include "Harness.h"
#include "Interleave.h"
#include "MetricsClient.h"
#include "TickWindows.h"
#include "Stats.h"
#include "TickStats.h"

namespace bench {

namespace {

constexpr int kBusyMs = 20;
constexpr double kPaceTolerance = 0.005;     // rate within 0.5 % of 1000 / 28
constexpr double kLogPaceTolerance = 0.01;   // while logging: within 1 %
constexpr double kFloorFactor = 1.2;
constexpr auto kStartTimeout = std::chrono::seconds(60);
// Before the first window: both programs past their start.
constexpr double kStartSettleSeconds = 1;

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
    table.Add({"tick drift over the windows, " + load + " (ms)", Fixed(shell.driftMs, 1), Fixed(floor.driftMs, 1),
               "", "", "info"});
    table.Add({"ticks lost or merged, " + load, std::to_string(shell.lost), std::to_string(floor.lost), "",
               "0", Verdict(shell.lost <= 0)});
}

void Failed(ResultTable& table, const std::string& load, const std::string& why) {
    std::fprintf(stderr, "driver: tick run %s: %s\n", load.c_str(), why.c_str());
    table.Add({"tick rate, " + load + " (/s)", "", "", "", why, "FAIL"});
}

// The judged p99 error and the pace rows of a windowed run, and its plot
// series (floor on the left, shell on the right).
bool AddWindowRows(ResultTable& table, PlotData& plot, const std::string& load, const std::string& name,
                   const TickWindows& windows, double tolerance) {
    const TickStats shell = PoolWindows(windows.shell);
    const TickStats floor = PoolWindows(windows.floor);
    if (!Usable(shell) || !Usable(floor)) {
        Failed(table, load, "too few ticks");
        return false;
    }
    AddPaceRows(table, load, shell, floor, tolerance);
    AddLatenessRows(table, load, windows, kFloorFactor);
    AddPooledRow(table, "tick interval error p99, " + load + ", across processes (ms)", shell.p99ErrorMs,
                 floor.p99ErrorMs, PairedTicks(windows, TickErrorP99), 2, 0);
    plot.AddTickSeries("floor-" + name, "floor, beside the shell, " + load, floor);
    plot.AddTickSeries("shell-" + name, "shell, " + load, shell);
    return true;
}

void Announce(const std::string& load, int pairs) {
    std::printf("  shell and tick floor side by side, %s: %d windows of %.1f s each\n", load.c_str(), pairs,
                kTickWindowSeconds);
    std::fflush(stdout);
}

void IdleAndBusy(const Paths& paths, const Options& options, ResultTable& table, PlotData& plot) {
    const int pairs = TickWindowPairs(options.seconds);
    for (int busyMs : {0, kBusyMs}) {
        const std::string load = busyMs ? "engine busy 20 ms" : "idle";
        const std::string name = busyMs ? "busy" : "idle";
        Announce(load, pairs);
        const std::string commands = busyMs ? "ontick rec.sleep " + std::to_string(busyMs) + "\n" : "";
        const ScratchTree tree = StartTree("tick-" + name, commands);
        const std::uint16_t port = FreeLoopbackPort();
        tree.Write("System\\Velmor.ini", MetricsSettings(port));
        ShellProcess run(tree);
        if (!run.WaitEngineStarted(kStartTimeout)) {
            Failed(table, load, "the shell did not start");
            continue;
        }
        ShellLatenessScraper scraper(port);
        TimerFloorRun floor(paths, TickFloorSeconds(pairs, kStartSettleSeconds, {}), busyMs);
        const TickWindows windows = RunTickWindows(run.EngineJournal(), floor, pairs, {}, kStartSettleSeconds,
                                                   [&scraper] { return scraper(); });
        if (!run.Close(std::chrono::seconds(30))) run.Kill();
        AddWindowRows(table, plot, load, name, windows, kPaceTolerance);
    }
}

void UnderExecLoad(const Paths& paths, const Options& options, ResultTable& table, PlotData& plot) {
    const std::string load = "Exec loop";
    const ScratchTree tree = StartTree("tick-exec", "");
    const std::uint16_t port = FreeLoopbackPort();
    tree.Write("System\\Velmor.ini", MetricsSettings(port));
    CLSID clsid{};
    std::string why;
    if (!AutomationReady(tree, clsid, why)) {
        table.Pending("tick pacing, " + load, why);
        return;
    }
    const int pairs = TickWindowPairs(options.seconds);
    Announce(load + " in the shell's windows", pairs);
    ShellProcess run(tree, "-Embedding");
    if (!run.WaitEngineStarted(kStartTimeout)) {
        Failed(table, load, "the shell did not start");
        return;
    }
    ExecLoad client(clsid);
    if (!client.WaitConnected(30000)) {
        char text[64];
        std::snprintf(text, sizeof text, "no editor server object (0x%08lX)",
                      static_cast<unsigned long>(client.Result()));
        Failed(table, load, text);
        return;
    }
    client.Pause();
    long long calls = 0;
    long long callsAtOn = 0;
    const ShellLoad execLoop{[&] {
                            callsAtOn = client.Calls();
                            client.Resume();
                        },
                        [&] {
                            client.Pause();
                            calls += client.Calls() - callsAtOn;
                        }};
    ShellLatenessScraper scraper(port);
    TimerFloorRun floor(paths, TickFloorSeconds(pairs, kStartSettleSeconds, execLoop), 0);
    const TickWindows windows = RunTickWindows(run.EngineJournal(), floor, pairs, execLoop, kStartSettleSeconds,
                                               [&scraper] { return scraper(); });
    client.Stop();
    if (!run.Close(std::chrono::seconds(30))) run.Kill();
    if (!AddWindowRows(table, plot, load, "exec", windows, kPaceTolerance)) return;
    const double seconds = PoolWindows(windows.shell).seconds;
    table.Add({"Exec calls during the shell's windows (/s)", Fixed(static_cast<double>(calls) / seconds, 0), "", "",
               "", SUCCEEDED(client.Result()) ? "info" : "FAIL"});
}

void WhileLogging(const Paths& paths, const Options& options, ResultTable& table, PlotData& plot) {
    const std::string load = "100 lines per tick";
    const int pairs = TickWindowPairs(options.seconds);
    Announce(load + " in the shell's windows", pairs);
    const ScratchTree tree = StartTree("tick-log", "");
    ShellProcess run(tree);
    if (!run.WaitEngineStarted(kStartTimeout)) {
        Failed(table, load, "the shell did not start");
        return;
    }
    // Typed into the console, as a user would switch the engine's load.
    const ShellLoad logging{[&] { run.TryCommand("rec.ontick rec.time tickburst rec.logrepeat 1 100 60"); },
                       [&] { run.TryCommand("rec.ontick off"); }};
    TimerFloorRun floor(paths, TickFloorSeconds(pairs, kStartSettleSeconds, logging), 0);
    const TickWindows windows = RunTickWindows(run.EngineJournal(), floor, pairs, logging, kStartSettleSeconds);
    if (!run.Close(std::chrono::seconds(5))) run.Kill();
    run.EngineJournal().Poll();
    std::vector<double> bursts;
    for (const TimeNote& note : run.EngineJournal().Times())
        if (note.label == "tickburst") bursts.push_back(note.microseconds / 1000);
    const TickStats shell = PoolWindows(windows.shell);
    const TickStats floorStats = PoolWindows(windows.floor);
    if (!Usable(shell) || !Usable(floorStats)) {
        Failed(table, load, "too few ticks");
        return;
    }
    const double rateError = std::fabs(shell.rate / kIdealTickRate - 1);
    table.Add({"tick rate, " + load + " (/s)", Fixed(shell.rate, 3), Fixed(floorStats.rate, 3),
               RatioText(shell.rate, floorStats.rate), "35.714 +-1.0%", Verdict(rateError <= kLogPaceTolerance)});
    AddPairedRow(table, "tick gap max, " + load + " (ms)", PairedTicks(windows, TickIntervalMax), 2, kFloorFactor);
    table.Add({"log burst per tick, median (ms)", Fixed(Median(bursts), 2), "", "", "", "info"});
    table.Add({"log burst per tick, max (ms)", Fixed(Maximum(bursts), 2), "", "", "<= 28 (one period)",
               Verdict(!bursts.empty() && Maximum(bursts) <= kTickPeriodMs)});
    table.Add({"ticks lost or merged, " + load, std::to_string(shell.lost), std::to_string(floorStats.lost), "",
               "", "info"});
    plot.AddTickSeries("floor-log", "floor, beside the shell, " + load, floorStats);
    plot.AddTickSeries("shell-log", "shell, " + load, shell);
}

}  // namespace

void RunTickFigures(const Paths& paths, const Options& options, ResultTable& table, PlotData& plot) {
    std::printf("Tick pacing\n");
    IdleAndBusy(paths, options, table, plot);
    UnderExecLoad(paths, options, table, plot);
    WhileLogging(paths, options, table, plot);
}

}  // namespace bench
