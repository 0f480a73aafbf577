#include "StartupFigures.h"

#include <cstdio>
#include <functional>
#include <iterator>
#include <optional>
#include <thread>

#include "Floors.h"
#include "Harness.h"
#include "Interleave.h"
#include "Qpc.h"
#include "Stats.h"

namespace bench {

namespace {

// The shell's start against a program that does the same required work.
constexpr double kFloorFactor = 1.1;

// recorder.cmds runs inside pInitAll, right after its journal line; the
// init hook runs last in pInitAll, just before it returns.
constexpr char kStartCommands[] =
    "time init.enter\n"
    "oninit rec.time init.return\n";

struct ShellStart {
    double toFirstPaintUs = 0;
    double toInitReturnUs = 0;
};

std::optional<ShellStart> StartShell(const char* arguments) {
    const ScratchTree tree = StartTree("startup", kStartCommands);
    ShellProcess run(tree, arguments);
    const auto returned = run.EngineJournal().WaitForTime("init.return", std::chrono::seconds(60));
    const auto entered = run.EngineJournal().WaitForTime("init.enter", std::chrono::seconds(1));
    run.Close(std::chrono::seconds(60));
    if (!returned || !entered) return std::nullopt;
    return ShellStart{QpcToMicroseconds(entered->counter - run.StartCounter()),
                      QpcToMicroseconds(returned->counter - run.StartCounter())};
}

// A row for information: the medians of both sides' starts.
void AddRow(ResultTable& table, const std::string& figure, const std::vector<double>& shellUs,
            const std::vector<double>& floorUs) {
    const double shell = Median(shellUs) / 1000;
    const double floor = Median(floorUs) / 1000;
    table.Add({figure, Fixed(shell, 1), Fixed(floor, 1), RatioText(shell, floor), "", "info"});
}

struct Samples {
    std::vector<double> firstPaint;  // the shell, normal start
    std::vector<double> initReturn;
    std::vector<double> oleFirstPaint;  // the shell started by OLE
    std::vector<double> floor;
    std::vector<double> oleFloor;  // the floor with OLE initialised
    std::vector<double> fullFloor;  // the floor doing the shell's start-up work
    std::vector<double> fullFloorSteps[FullStartFloor::kSteps];
    // The judged pair of each round, in ms: the shell's first paint and the full floor's.
    PairedFigure firstPaintPairs;
};

// Wine's background processes finish their share of an exit (the registry
// written back, OLE's bookkeeping) a moment after a program ends.
void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(500)); }

// One start of each program; odd rounds run them in the reverse order, so
// that none always follows the same one.
void Sample(const Paths& paths, int round, Samples* samples) {
    std::optional<ShellStart> shell, oleShell;
    std::optional<double> floor, oleFloor;
    std::optional<FullStartFloor> fullFloor;
    const std::function<void()> starts[] = {
        [&] { fullFloor = RunShellStartFloor(paths, StartTree("startup-floor", "").Root()); },
        [&] { shell = StartShell(""); },
        [&] { floor = RunStartupFloor(paths); },
        [&] { oleShell = StartShell("-Embedding"); },
        [&] { oleFloor = RunStartupFloor(paths, true); },
    };
    for (std::size_t i = 0; i < std::size(starts); ++i) {
        Settle();
        starts[round % 2 ? std::size(starts) - 1 - i : i]();
    }
    if (!samples) return;
    if (shell) {
        samples->firstPaint.push_back(shell->toFirstPaintUs);
        samples->initReturn.push_back(shell->toInitReturnUs);
    }
    if (oleShell) samples->oleFirstPaint.push_back(oleShell->toFirstPaintUs);
    if (floor) samples->floor.push_back(*floor);
    if (oleFloor) samples->oleFloor.push_back(*oleFloor);
    if (shell && fullFloor)
        samples->firstPaintPairs.Add(shell->toFirstPaintUs / 1000, fullFloor->toFirstPaintUs / 1000);
    if (fullFloor) {
        samples->fullFloor.push_back(fullFloor->toFirstPaintUs);
        for (std::size_t i = 0; i < std::size(fullFloor->steps); ++i)
            samples->fullFloorSteps[i].push_back(fullFloor->steps[i].us);
    }
}

}  // namespace

void RunStartupFigures(const Paths& paths, const Options& options, ResultTable& table) {
    std::printf("Start-up, %d starts each\n", options.startups);
    std::fflush(stdout);
    // The first round warms Wine's caches for every program and is not counted.
    Sample(paths, 0, nullptr);
    Samples samples;
    for (int round = 0; round < options.startups; ++round) Sample(paths, round, &samples);
    if (samples.firstPaint.empty() || samples.fullFloor.empty()) {
        table.Add({"start-up to first paint (ms)", "", "", "", "a start failed", "FAIL"});
        return;
    }
    // Judged against the floor that does the same work before its first
    // paint: OLE, registration, type library, engine library, timer, dialog;
    // by the median ratio of the rounds, in each of which both started.
    AddPairedRow(table, "start-up to first paint (ms)", samples.firstPaintPairs, 1, kFloorFactor);
    // pInitAll is the engine's own work, which no floor does.
    AddRow(table, "start-up to pInitAll return (ms)", samples.initReturn, samples.fullFloor);
    if (!samples.floor.empty())
        AddRow(table, "start-up to first paint, against the bare dialog (ms)", samples.firstPaint,
               samples.floor);
    if (!samples.oleFirstPaint.empty())
        AddRow(table, "start-up to first paint, OLE start, no registration (ms)", samples.oleFirstPaint,
               samples.floor);
    if (!samples.oleFloor.empty())
        AddRow(table, "floor start-up with OleInitialize (ms)", samples.oleFloor, samples.floor);
    // Where the full floor's time goes, each step's median.
    const FullStartFloor names;
    for (std::size_t i = 0; i < std::size(names.steps); ++i)
        table.Add({std::string("full start-up floor: ") + names.steps[i].name + " (ms)", "",
                   Fixed(Median(samples.fullFloorSteps[i]) / 1000, 2), "", "", "info"});
}

}  // namespace bench
