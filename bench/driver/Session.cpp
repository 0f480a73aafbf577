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
    const CallTimes callFloor = automation ? TimeFloorCalls(paths, options) : CallTimes{};

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
    if (automation) calls.emplace(clsid, options, callFloor, table);
    memory.beforeCalls = shell.Memory();
    if (calls) calls->Warm(kWarmCalls);
    memory.warm = shell.Memory();
    const long long linesAtWarm = bursts.Lines();
    if (calls) calls->Timed();
    if (wantLog) bursts.Large();
    if (calls) calls->Rest();
    memory.end = shell.Memory();
    const long long callCount = calls ? calls->Calls() : 0;
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
