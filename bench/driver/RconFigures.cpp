#include "RconFigures.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Harness.h"
#include "Qpc.h"
#include "RconClient.h"
#include "Stats.h"
#include "TickStats.h"
#include "Wait.h"

namespace bench {

namespace {

constexpr char kPassword[] = "bench-remote-console";
constexpr int kBlocks = 30;          // pairs of blocks, shell and floor
constexpr int kBlockCommands = 100;  // commands per block
constexpr int kWarmUp = 200;
constexpr int kClients = 8;
constexpr int kClientCommands = 1000;
constexpr double kFloorFactor = 1.2;
constexpr double kPaceTolerance = 0.005;

// Microseconds of each of `count` commands with a one-line reply; empty when
// a reply was wrong or missing.
std::vector<double> RoundTrips(vt::RconClient& client, int count, int& id) {
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i, ++id) {
        const std::string text = "ping " + std::to_string(id);
        const std::int64_t begin = QpcNow();
        const std::optional<std::string> reply = client.Command("rec.log 1 " + text, id);
        const std::int64_t end = QpcNow();
        if (reply != "INFO: " + text + "\n") return {};
        times.push_back(QpcToMicroseconds(end - begin));
    }
    return times;
}

struct PairedFigure {
    double shell = 0, floor = 0;       // medians over the blocks
    double ratio = 0, q1 = 0, q3 = 0;  // median and quartiles of the per-pair ratios
};

PairedFigure Pair(const std::vector<double>& shell, const std::vector<double>& floor) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < shell.size() && i < floor.size(); ++i)
        if (floor[i] > 0) ratios.push_back(shell[i] / floor[i]);
    return {Median(shell), Median(floor), Median(ratios), Percentile(ratios, 25), Percentile(ratios, 75)};
}

void AddPaired(ResultTable& table, const std::string& figure, const PairedFigure& f) {
    char target[96];
    std::snprintf(target, sizeof target, "<= %.1fx floor (IQR %.2f..%.2f)", kFloorFactor, f.q1, f.q3);
    table.Add({figure, Fixed(f.shell, 1), Fixed(f.floor, 1), Fixed(f.ratio, 2), target,
               Verdict(f.ratio <= kFloorFactor)});
}

void RoundTripFigures(const Paths& paths, std::uint16_t shellPort, ResultTable& table) {
    const std::string portFile = paths.benchDir + "\\floor_rcon.port";
    ::DeleteFileA(portFile.c_str());
    Child floor(paths.Floor("floor_rcon"), "\"" + portFile + "\"", paths.benchDir);
    std::uint16_t floorPort = 0;
    vt::WaitUntil(
        [&] {
            return (floorPort = static_cast<std::uint16_t>(std::atoi(ReadTextFile(portFile).c_str()))) != 0;
        },
        std::chrono::seconds(30));
    vt::RconClient shellClient(shellPort), floorClient(floorPort);
    if (!floorPort || !shellClient.SignIn(kPassword) || !floorClient.SignIn(kPassword)) {
        table.Pending("rcon round trip", floorPort ? "a client could not sign in" : "floor_rcon did not start");
        return;
    }
    int shellId = 10, floorId = 10;
    RoundTrips(shellClient, kWarmUp, shellId);
    RoundTrips(floorClient, kWarmUp, floorId);
    std::vector<double> shellMedians, floorMedians, shellP99, floorP99;
    for (int block = 0; block < kBlocks; ++block) {
        // Which side goes first alternates, so that neither always follows the other.
        std::vector<double> s, f;
        if (block % 2 == 0) {
            s = RoundTrips(shellClient, kBlockCommands, shellId);
            f = RoundTrips(floorClient, kBlockCommands, floorId);
        } else {
            f = RoundTrips(floorClient, kBlockCommands, floorId);
            s = RoundTrips(shellClient, kBlockCommands, shellId);
        }
        if (s.empty() || f.empty()) {
            table.Add({"rcon round trip", "", "", "",
                       s.empty() ? "a wrong reply from the shell" : "a wrong reply from the floor", "FAIL"});
            return;
        }
        shellMedians.push_back(Median(s));
        floorMedians.push_back(Median(f));
        shellP99.push_back(Percentile(s, 99));
        floorP99.push_back(Percentile(f, 99));
    }
    AddPaired(table, "rcon round trip median, one-line reply (us)", Pair(shellMedians, floorMedians));
    AddPaired(table, "rcon round trip p99, one-line reply (us)", Pair(shellP99, floorP99));
}

TickStats TicksSince(ShellProcess& run, std::size_t first) {
    run.EngineJournal().Poll();
    const std::vector<double>& all = run.EngineJournal().TickTimes();
    return ComputeTickStats(
        std::vector<double>(all.begin() + static_cast<std::ptrdiff_t>(std::min(first, all.size())), all.end()),
        0);
}

void LoadFigures(const Options& options, ShellProcess& run, std::uint16_t port, ResultTable& table) {
    run.EngineJournal().Poll();
    std::size_t first = run.EngineJournal().TickTimes().size();
    const double idleSeconds = std::max(5.0, std::min(options.seconds, 20.0));
    std::printf("  rcon: idle ticks, %.0f s\n", idleSeconds);
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long long>(idleSeconds * 1000)));
    const TickStats idle = TicksSince(run, first);

    std::printf("  rcon: %d clients x %d commands\n", kClients, kClientCommands);
    std::fflush(stdout);
    run.EngineJournal().Poll();
    first = run.EngineJournal().TickTimes().size();
    std::atomic<int> inOrder{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c)
        clients.emplace_back([&, c] {
            vt::RconClient client(port);
            if (!client.SignIn(kPassword, 1)) return;
            for (int i = 0; i < kClientCommands; ++i) {
                const std::string text = "client " + std::to_string(c) + " command " + std::to_string(i);
                if (!client.Send(i + 2, 2, "rec.log 1 " + text)) return;
                const std::optional<vt::RconPacket> reply = client.Read();
                if (!reply || reply->id != i + 2 || reply->body != "INFO: " + text + "\n") return;
                ++inOrder;
            }
        });
    for (std::thread& client : clients) client.join();
    const TickStats load = TicksSince(run, first);

    const int all = kClients * kClientCommands;
    table.Add({"rcon 8 x 1000 commands: replies whole and in order", std::to_string(inOrder.load()), "", "",
               std::to_string(all), Verdict(inOrder.load() == all)});
    if (load.ticks < 2 || idle.ticks < 2) {
        table.Add({"tick rate, rcon 8 x 1000 (/s)", "", "", "", "too few ticks", "FAIL"});
        return;
    }
    char target[64];
    std::snprintf(target, sizeof target, "%.3f +-%.1f%%", kIdealTickRate, kPaceTolerance * 100);
    table.Add({"tick rate, rcon 8 x 1000 (/s)", Fixed(load.rate, 3), Fixed(idle.rate, 3),
               RatioText(load.rate, idle.rate), target,
               Verdict(std::fabs(load.rate / kIdealTickRate - 1) <= kPaceTolerance)});
    table.Add({"tick interval error p99, rcon 8 x 1000 vs idle (ms)", Fixed(load.p99ErrorMs, 2),
               Fixed(idle.p99ErrorMs, 2), RatioText(load.p99ErrorMs, idle.p99ErrorMs), "<= 1.2x idle",
               Verdict(load.p99ErrorMs <= kFloorFactor * idle.p99ErrorMs)});
    table.Add({"rcon 8 x 1000 commands: seconds", Fixed(load.seconds, 1), "", "", "", "info"});
}

}  // namespace

void RunRconFigures(const Paths& paths, const Options& options, ResultTable& table) {
    std::printf("rcon\n");
    std::fflush(stdout);
    const ScratchTree tree = StartTree("rcon", "");
    tree.Write("System\\Velmor.ini",
               std::string("[RemoteConsole]\r\nPassword=") + kPassword + "\r\nPort=0\r\nMaxConnections=16\r\n");
    ShellProcess run(tree);
    if (!run.WaitEngineStarted(std::chrono::seconds(60))) {
        table.Pending("rcon", "the shell did not start");
        return;
    }
    const std::uint16_t port = vt::ListeningPort(run);
    if (!port) {
        table.Pending("rcon", "the shell did not say where it listens");
        return;
    }
    RoundTripFigures(paths, port, table);
    LoadFigures(options, run, port, table);
}

}  // namespace bench
