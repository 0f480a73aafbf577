#include "Session.h"

#include <cstdio>
#include <optional>
#include <thread>

#include "Automation.h"
#include "CameraFigures.h"
#include "EditorFigures.h"
#include "Harness.h"
#include "LogFigures.h"
#include "MemoryFigures.h"

namespace bench {

namespace {

// Every property request is answered with the longest reply there is.
constexpr char kSessionCommands[] = "reply 16383\n";
// The editor object's first calls, after which memory is read warm.
constexpr long long kWarmCalls = 1000;
constexpr auto kSettle = std::chrono::seconds(2);

// The system's RPC and thread pools start threads for incoming calls and end
// them a few seconds after the calls stop; under Wine each thread's stacks
// hold about a megabyte. Memory is read once the shell's thread count has
// held still this long, so that both readings see the pools at rest and the
// difference is the shell's own.
constexpr auto kThreadsStill = std::chrono::seconds(8);
constexpr auto kThreadsWaitAtMost = std::chrono::seconds(60);

MemorySample ReadWhenThreadsRest(const ShellProcess& shell) {
    const auto deadline = std::chrono::steady_clock::now() + kThreadsWaitAtMost;
    int threads = vt::ThreadCount(shell.Id());
    auto stillSince = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - stillSince < kThreadsStill &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const int now = vt::ThreadCount(shell.Id());
        if (now != threads) {
            threads = now;
            stillSince = std::chrono::steady_clock::now();
        }
    }
    return shell.Memory();
}

}  // namespace

void RunSessionFigures(const Paths& paths, const Options& options, ResultTable& table,
                       const std::function<void()>& checkpoint) {
    const bool wantCalls = options.Wants("editor") || options.Wants("memory");
    const ScratchTree tree = StartTree("session", kSessionCommands);
    CLSID clsid{};
    std::string why;
    const bool automation = wantCalls && AutomationReady(tree, clsid, why);
    if (wantCalls && !automation) table.Pending("editor calls", why);

    const LogFloors logFloors = options.Wants("log") ? RunLogFloors(paths, options) : LogFloors{};

    std::printf("Shell session\n");
    std::fflush(stdout);
    ShellProcess shell(tree, "-Embedding");
    if (!shell.WaitEngineStarted(std::chrono::seconds(60)) || !shell.Console()) {
        table.Add({"shell session", "", "", "", "the shell did not start", "FAIL"});
        return;
    }
    std::this_thread::sleep_for(kSettle);
    MemoryTimeline memory;
    memory.start = shell.Memory();

    // The small burst, the editor's object and its first calls first: after
    // them every path has been taken once, and memory is read warm. The
    // timed calls, the large burst and the rest of the calls come after.
    LogBursts bursts(shell, options, logFloors, table);
    const bool wantLog = options.Wants("log") || options.Wants("memory");
    if (wantLog) bursts.Small();
    memory.afterBurst = shell.Memory();
    std::optional<EditorCalls> calls;
    if (automation) calls.emplace(clsid, paths, options, table);
    memory.beforeCalls = shell.Memory();
    if (calls) calls->Warm(kWarmCalls);
    memory.warm = ReadWhenThreadsRest(shell);
    const long long linesAtWarm = bursts.Lines();
    if (calls) calls->Timed();
    if (wantLog) bursts.Large();
    if (calls) calls->Rest();
    memory.end = ReadWhenThreadsRest(shell);
    const long long callCount = calls ? calls->Calls() : 0;
    const FloorServerMemory callFloor = calls ? calls->FloorMemory() : FloorServerMemory{};
    WarmLoad sinceWarm{bursts.Lines() - linesAtWarm, calls ? calls->CallsSinceWarm() : 0, options.largeBurst,
                       options.totalCalls};
    calls.reset();  // released while the shell still runs

    if (options.Wants("memory")) {
        const std::string load = "after " + std::to_string(bursts.Lines()) + " lines + " +
                                 std::to_string(callCount) + " calls";
        AddMemoryRows(table, memory, callFloor, load, sinceWarm);
        checkpoint();
        RunCameraFigures(shell, options, table);
    }
    shell.Close(std::chrono::seconds(60));
}

}  // namespace bench
