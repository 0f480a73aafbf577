#include "OleTickFigures.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <thread>

#include "Automation.h"
#include "OleString.h"
#include "EditorClient.h"
#include "Floors.h"
#include "MetricsClient.h"
#include "Harness.h"
#include "Interleave.h"
#include "Stats.h"
#include "TickStats.h"
#include "TickWindows.h"

namespace bench {

namespace {

constexpr double kFloorFactor = 1.2;
constexpr int kClients = 3;
constexpr int kCallsPerClient = 1000;
constexpr long long kBurstLines = 10000;
constexpr char kBurstLabel[] = "oleburst";

// Calls Exec, GetProp and SetProp in turn; the first failure stops it.
HRESULT MakeCalls(EditorClient& client, int count) {
    const fw::OleString command(::SysAllocString(L"bench")), first(::SysAllocString(L"bench")),
        second(::SysAllocString(L"prop")), value(::SysAllocString(L"value"));
    for (int i = 0; i < count; ++i) {
        std::size_t length = 0;
        const HRESULT hr = i % 3 == 0   ? client.Exec(command.Get())
                           : i % 3 == 1 ? client.GetProp(first.Get(), second.Get(), length)
                                        : client.SetProp(first.Get(), second.Get(), value.Get());
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

std::string Hex(const char* what, HRESULT hr) {
    char text[96];
    std::snprintf(text, sizeof text, "%s (0x%08lX)", what, static_cast<unsigned long>(hr));
    return text;
}

// The journal's ticks from index `first` to `end`.
TickStats TicksFrom(Journal& journal, std::size_t first, std::size_t end) {
    journal.Poll();
    const std::vector<double>& all = journal.TickTimes();
    const auto from = all.begin() + static_cast<std::ptrdiff_t>(std::min(first, all.size()));
    const auto to = all.begin() + static_cast<std::ptrdiff_t>(std::min(end, all.size()));
    return ComputeTickStats(std::vector<double>(from, to), 0);
}

// Intervals shorter than a quarter period: ticks that waited in the queue
// and then ran back to back.
long long BackToBack(const TickStats& stats) {
    return std::count_if(stats.intervalsMs.begin(), stats.intervalsMs.end(),
                         [](double ms) { return ms < kTickPeriodMs / 4; });
}

void WaitSeconds(double seconds) { std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long long>(seconds * 1000))); }

struct Measured {
    TickStats before;     // first client connected, nothing else done
    TickWindows after;    // clients gone, burst logged: the shell's windows and the floor's
    double burstMs = 0;
    std::string failure;
};

// Started by OLE, loaded, timed in windows in turn with a tick floor started
// beside it once the load is over, closed. A shell that does not close
// within 30 s is ended.
Measured MeasureShell(const Paths& paths, OleShell& server, const CLSID& clsid, double seconds) {
    constexpr auto kCloseTimeout = std::chrono::seconds(30);
    Measured measured;
    Journal& journal = server.EngineJournal();
    const std::uint16_t port = FreeLoopbackPort();
    server.Tree().Write("System\\Velmor.ini", MetricsSettings(port));
    std::optional<EditorClient> first;
    first.emplace();
    {
        // Under Wine the server inherits the client's working directory.
        const ClientDirectory directory(server.Tree());
        if (const HRESULT hr = first->Create(clsid); FAILED(hr)) {
            measured.failure = Hex("OLE could not start the shell", hr);
            return measured;
        }
    }
    const bool started = journal.WaitStarted(std::chrono::seconds(60));
    if (!started || !server.WaitShellPid()) {
        measured.failure = "the shell's engine did not start";
        return measured;
    }

    // A window with the first client connected and idle, for comparison.
    journal.Poll();
    std::size_t from = journal.TickTimes().size();
    WaitSeconds(std::max(2.0, seconds / 3));
    journal.Poll();
    std::size_t to = journal.TickTimes().size();
    measured.before = TicksFrom(journal, from, to);

    // Editor clients come and go; the first one has the engine log its burst.
    HRESULT hr = MakeCalls(*first, kCallsPerClient);
    for (int i = 1; i < kClients && SUCCEEDED(hr); ++i) {
        EditorClient other;
        hr = other.Create(clsid);
        if (SUCCEEDED(hr)) hr = MakeCalls(other, kCallsPerClient);
    }
    const std::wstring burst = L"rec.time " + std::wstring(kBurstLabel, kBurstLabel + sizeof kBurstLabel - 1) +
                               L" rec.logrepeat 1 " + std::to_wstring(kBurstLines) + L" 60";
    const fw::OleString burstCommand(::SysAllocStringLen(burst.data(), static_cast<UINT>(burst.size())));
    if (SUCCEEDED(hr)) hr = first->Exec(burstCommand.Get());
    first.reset();
    const auto note = journal.WaitForTime(kBurstLabel, std::chrono::seconds(120));
    if (FAILED(hr) || !note) {
        server.CloseConsole(kCloseTimeout);
        measured.failure = FAILED(hr) ? Hex("an editor call failed", hr) : "the burst did not end";
        return measured;
    }
    measured.burstMs = note->microseconds / 1000;

    // The state under test: every client gone, the burst logged. The shell's
    // first window starts at once, so that it holds what the load left queued.
    const int pairs = TickWindowPairs(seconds);
    TimerFloorRun floor(paths, TickFloorSeconds(pairs, 0, {}), 0);
    ShellLatenessScraper scraper(port);
    measured.after = RunTickWindows(journal, floor, pairs, {}, 0, [&scraper] { return scraper(); });
    server.CloseConsole(kCloseTimeout);
    return measured;
}

// Rows for information: `shell` against `floor`.
void AddRows(ResultTable& table, const std::string& load, const TickStats& shell, const TickStats& floor) {
    table.Add({"tick interval error p99, " + load + " (ms)", Fixed(shell.p99ErrorMs, 2), Fixed(floor.p99ErrorMs, 2),
               RatioText(shell.p99ErrorMs, floor.p99ErrorMs), "", "info"});
    table.Add({"tick interval median, " + load + " (ms)", Fixed(shell.medianMs, 2), Fixed(floor.medianMs, 2),
               RatioText(shell.medianMs, floor.medianMs), "", "info"});
    table.Add({"tick interval p99, " + load + " (ms)", Fixed(shell.p99Ms, 2), Fixed(floor.p99Ms, 2),
               RatioText(shell.p99Ms, floor.p99Ms), "", "info"});
    table.Add({"tick interval max, " + load + " (ms)", Fixed(shell.maxMs, 2), Fixed(floor.maxMs, 2),
               RatioText(shell.maxMs, floor.maxMs), "", "info"});
    table.Add({"tick rate, " + load + " (/s)", Fixed(shell.rate, 3), Fixed(floor.rate, 3),
               RatioText(shell.rate, floor.rate), "", "info"});
    table.Add({"ticks lost or merged, " + load, std::to_string(shell.lost), std::to_string(floor.lost), "", "",
               "info"});
}

}  // namespace

void RunOleTickFigures(const Paths& paths, const Options& options, ResultTable& table, PlotData& plot) {
    const std::string load = "OLE start, after clients and a 10k-line burst";
    std::printf("Tick pacing after an OLE start\n");
    std::fflush(stdout);
    OleShell server("bench-tick-ole");  // its shell registered
    CLSID clsid{};
    std::string why;
    if (!AutomationRegistered(clsid, why)) {
        table.Pending("tick pacing, " + load, why);
        return;
    }
    std::printf("  shell started by OLE: %.0f s idle, %d clients, a %lld-line burst, %.0f s timed\n",
                std::max(2.0, options.seconds / 3), kClients, kBurstLines, options.seconds);
    std::fflush(stdout);
    const Measured shell = MeasureShell(paths, server, clsid, options.seconds);
    if (!shell.failure.empty()) {
        std::fprintf(stderr, "driver: tick run %s: %s\n", load.c_str(), shell.failure.c_str());
        table.Add({"tick interval error p99, " + load + " (ms)", "", "", "", shell.failure, "FAIL"});
        return;
    }
    const TickStats after = PoolWindows(shell.after.shell);
    const TickStats floor = PoolWindows(shell.after.floor);
    if (after.ticks < 2 || floor.ticks < 2) {
        table.Add({"tick interval error p99, " + load + " (ms)", "", "", "", "too few ticks", "FAIL"});
        return;
    }
    AddLatenessRows(table, load + ", all windows", shell.after, kFloorFactor);
    AddPooledRow(table, "tick interval error p99, " + load + ", across processes (ms)", after.p99ErrorMs,
                 floor.p99ErrorMs, PairedTicks(shell.after, TickErrorP99), 2, 0);
    AddRows(table, load + ", all windows", after, floor);
    if (shell.before.ticks >= 2) AddRows(table, "OLE start, first client connected, idle", shell.before, floor);
    // Where the error lies: ticks queued behind the burst and the clients'
    // releases run back to back at the start of the shell's first window.
    table.Add({"back-to-back ticks (< 7 ms apart), " + load, std::to_string(BackToBack(after)),
               std::to_string(BackToBack(floor)), "", "", "info"});
    const TickStats first = ComputeTickStats(shell.after.shell.front(), 0);
    if (first.ticks >= 2)
        table.Add({"tick interval error p99, " + load + ", the shell's first window (ms)", Fixed(first.p99ErrorMs, 2),
                   Fixed(floor.p99ErrorMs, 2), RatioText(first.p99ErrorMs, floor.p99ErrorMs), "", "info"});
    table.Add({"10k-line burst through Exec (ms)", Fixed(shell.burstMs, 1), "", "", "", "info"});
    plot.AddTickSeries("floor-ole", "floor, beside the OLE-started shell", floor);
    plot.AddTickSeries("shell-ole", "shell, " + load, after);
}

}  // namespace bench
