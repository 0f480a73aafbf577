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

#include "Floors.h"
#include "Harness.h"
#include "Interleave.h"
#include "Qpc.h"
#include "RconClient.h"
#include "Stats.h"
#include "TickStats.h"
#include "TickWindows.h"
#include "Wait.h"
#include "WinePath.h"
#include "ChildProcess.h"

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
constexpr double kRoundSecondsGuess = 7;  // one round of the load, on a quiet machine
constexpr double kFloodFactor = 1.5;
constexpr int kFloodBlocks = 10;

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

// A floor server started for the run, and a client signed in to it.
class RconFloor {
public:
    RconFloor(const Paths& paths, const std::string& name, const char* mode) {
        const std::string portFile = paths.benchDir + "\\" + name + ".port";
        ::DeleteFileA(portFile.c_str());
        m_process = std::make_unique<Child>(paths.Floor("floor_rcon"), "\"" + portFile + "\" " + mode,
                                            paths.benchDir);
        std::uint16_t port = 0;
        vt::WaitUntil(
            [&] { return (port = static_cast<std::uint16_t>(std::atoi(ReadTextFile(portFile).c_str()))) != 0; },
            std::chrono::seconds(30));
        if (port) m_client = std::make_unique<vt::RconClient>(port);
        if (m_client && !m_client->SignIn(kPassword)) m_client.reset();
        if (m_client) m_port = port;
    }
    vt::RconClient* Client() { return m_client.get(); }
    std::uint16_t Port() const { return m_port; }  // 0 unless a client signed in

private:
    std::uint16_t m_port = 0;
    std::unique_ptr<Child> m_process;
    std::unique_ptr<vt::RconClient> m_client;
};

// The pairs' medians and p99s, and every round trip of each side.
struct RoundTripPairs {
    PairedFigure medians, p99s;
    std::vector<double> shellAll, floorAll;
};

// Blocks of one-line commands, the shell's and the floor's in turn; false
// when a reply was wrong.
bool AlternateRoundTrips(vt::RconClient& shell, vt::RconClient& floor, RoundTripPairs& out) {
    int shellId = 10, floorId = 10;
    RoundTrips(shell, kWarmUp, shellId);
    RoundTrips(floor, kWarmUp, floorId);
    std::vector<std::vector<double>> s(kBlocks), f(kBlocks);
    const int pairs = Alternate(
        kBlocks, [&](int i) { return !(s[i] = RoundTrips(shell, kBlockCommands, shellId)).empty(); },
        [&](int i) { return !(f[i] = RoundTrips(floor, kBlockCommands, floorId)).empty(); });
    for (int i = 0; i < pairs; ++i) {
        out.medians.Add(Median(s[i]), Median(f[i]));
        out.p99s.Add(Percentile(s[i], 99), Percentile(f[i], 99));
        out.shellAll.insert(out.shellAll.end(), s[i].begin(), s[i].end());
        out.floorAll.insert(out.floorAll.end(), f[i].begin(), f[i].end());
    }
    return pairs == kBlocks;
}

// Judged against the bare floor, which answers from the connection's own
// thread; shown beside it, the floor that also does what the shell does
// besides the engine: the hand-over to a window thread and back, and the
// echo and the reply logged to a file and a window painted on the ticks.
void RoundTripFigures(const Paths& paths, std::uint16_t shellPort, ResultTable& table) {
    vt::RconClient shell(shellPort);
    if (!shell.SignIn(kPassword)) {
        table.Pending("rcon round trip", "the client could not sign in to the shell");
        return;
    }
    const struct {
        const char* name;
        const char* mode;
        const char* against;
        double factor;
    } floors[] = {{"floor_rcon", "", "", kFloorFactor},
                  {"floor_rcon_echo", "-Echo", " against the echo floor", 0}};
    for (const auto& kind : floors) {
        RconFloor floor(paths, kind.name, kind.mode);
        RoundTripPairs trips;
        if (!floor.Client()) {
            table.Pending(std::string("rcon round trip") + kind.against, "the floor did not start");
        } else if (!AlternateRoundTrips(shell, *floor.Client(), trips)) {
            table.Add({std::string("rcon round trip") + kind.against, "", "", "", "a wrong reply", "FAIL"});
        } else {
            AddPairedRow(table, std::string("rcon round trip median") + kind.against + " (us)", trips.medians, 1,
                         kind.factor);
            AddPooledRow(table, std::string("rcon round trip p99") + kind.against + " (us)",
                         Percentile(trips.shellAll, 99), Percentile(trips.floorAll, 99), trips.p99s, 1,
                         kind.factor);
        }
    }
}

// A hostile address that floods while it lives, from another host as an
// attacker would (a Linux process, so that the attacker's own sockets cost
// Wine nothing): about 1,000 connections a second from 127.0.0.4, in bursts
// of 10, that each send four zero bytes (a packet size of 0) and close.
constexpr char kFloodScript[] = R"(import os, socket, sys, time
port, stop, count = int(sys.argv[1]), sys.argv[2], 0
while not os.path.exists(stop):
    burst = []
    for _ in range(10):
        s = socket.socket()
        s.setblocking(False)
        s.bind(('127.0.0.4', 0))
        try:
            s.connect(('127.0.0.1', port))
        except BlockingIOError:
            pass
        burst.append(s)
    time.sleep(0.01)
    for s in burst:
        try:
            s.send(b'\0\0\0\0')
        except OSError:
            pass
        s.close()
    count += len(burst)
print(count)
)";

class JunkFlood {
public:
    explicit JunkFlood(std::uint16_t port) {
        const std::string base = "/tmp/velmor-bench-flood-" + std::to_string(::GetCurrentProcessId());
        m_stop = vt::ToWindowsPath(base + ".stop");
        ::DeleteFileA(m_stop.c_str());
        WriteTextFile(vt::ToWindowsPath(base + ".py"), kFloodScript);
        m_thread = std::thread([this, base, port] {
            const vt::ChildResult run = vt::RunHostCommand(
                "python3 '" + base + ".py' " + std::to_string(port) + " '" + base + ".stop'", "/tmp", base,
                {}, std::chrono::minutes(10));
            m_connections = std::atoi(run.out.c_str());
        });
    }
    ~JunkFlood() { Stop(); }
    // Ends it; the connections it made.
    int Stop() {
        if (m_thread.joinable()) {
            WriteTextFile(m_stop, "");
            m_thread.join();
        }
        return m_connections;
    }

private:
    std::string m_stop;
    std::atomic<int> m_connections{0};
    std::thread m_thread;
};

// The administrator's round trip while a hostile address floods, against the
// same without the flood, in alternating blocks.
void FloodFigures(std::uint16_t port, ResultTable& table) {
    vt::RconClient admin(port);
    if (!admin.SignIn(kPassword)) {
        table.Pending("rcon round trip under a flood", "the client could not sign in to the shell");
        return;
    }
    int id = 10;
    RoundTrips(admin, kWarmUp, id);
    std::vector<std::vector<double>> flooded(kFloodBlocks), quiet(kFloodBlocks);
    int junk = 0;
    const int pairs = Alternate(
        kFloodBlocks,
        [&](int i) {
            JunkFlood flood(port);
            ::Sleep(500);  // under way
            flooded[i] = RoundTrips(admin, kBlockCommands, id);
            junk += flood.Stop();
            return !flooded[i].empty();
        },
        [&](int i) {
            ::Sleep(1000);  // what the flood left queued is gone
            return !(quiet[i] = RoundTrips(admin, kBlockCommands, id)).empty();
        });
    if (pairs != kFloodBlocks) {
        table.Add({"rcon round trip p99, a hostile address flooding vs not", "", "", "", "a wrong reply", "FAIL"});
        return;
    }
    PairedFigure p99s;
    std::vector<double> floodedAll, quietAll;
    for (int i = 0; i < pairs; ++i) {
        p99s.Add(Percentile(flooded[i], 99), Percentile(quiet[i], 99));
        floodedAll.insert(floodedAll.end(), flooded[i].begin(), flooded[i].end());
        quietAll.insert(quietAll.end(), quiet[i].begin(), quiet[i].end());
    }
    AddPooledRow(table, "rcon round trip p99, a hostile address flooding vs not (us)", Percentile(floodedAll, 99),
                 Percentile(quietAll, 99), p99s, 1, kFloodFactor);
    table.Add({"rcon hostile connections during the flooded blocks", std::to_string(junk), "", "", "", "info"});
}

// 8 clients x 1000 commands at once; the replies that came whole and in order.
int CommandRound(std::uint16_t port) {
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
    return inOrder.load();
}

// A round of the load, then an idle window as long; `boundary` is called at
// its start, between the two and at its end. Returns the load's seconds.
template <typename Boundary>
double RunLoadRound(std::uint16_t port, int& inOrder, Boundary boundary) {
    boundary();
    const std::int64_t begin = QpcNow();
    inOrder += CommandRound(port);
    const double seconds = QpcToMicroseconds(QpcNow() - begin) / 1e6;
    boundary();
    std::this_thread::sleep_for(std::chrono::milliseconds(std::llround(seconds * 1000)));
    boundary();
    return seconds;
}

// Cuts ticks into the windows between each round's boundaries: the load's
// (first to second) and the idle one's (second to third).
template <typename Mark, typename Cut>
void CutRounds(const std::vector<Mark>& marks, Cut cut, std::vector<std::vector<double>>& load,
               std::vector<std::vector<double>>& idle) {
    for (std::size_t i = 0; i + 2 < marks.size(); i += 3) {
        load.push_back(cut(marks[i], marks[i + 1]));
        idle.push_back(cut(marks[i + 1], marks[i + 2]));
    }
}

// Rounds of 8 x 1000 commands, each followed by an idle window as long,
// against the shell and against the echo floor in turn (the floor first in
// odd pairs), so that all see the same machine. The shell's ticks under the
// load are judged against its own idle windows, over all windows of each
// kind; the echo floor, which runs each command on its window thread and
// paints on its ticks as the shell does, shows what the same load does to
// that work alone.
void LoadFigures(const Paths& paths, const Options& options, ShellProcess& run, std::uint16_t port,
                 ResultTable& table) {
    const int rounds = std::max(2, static_cast<int>(std::lround(options.seconds / kRoundSecondsGuess)));
    std::printf("  rcon: %d rounds of %d clients x %d commands and an idle window as long, on the shell and "
                "the echo floor in turn\n", rounds, kClients, kClientCommands);
    std::fflush(stdout);
    const std::string floorTicksPath = paths.benchDir + "\\floor-rcon-ticks.txt";
    RconFloor floor(paths, "floor_rcon_ticks", ("-Echo \"" + floorTicksPath + "\"").c_str());
    if (!floor.Port()) {
        table.Pending("rcon 8 x 1000 commands", "the echo floor did not start");
        return;
    }
    Journal& journal = run.EngineJournal();
    std::vector<std::size_t> shellMarks;  // the journal's tick count
    std::vector<double> floorMarks;       // microseconds of the performance counter
    int inOrder = 0, floorInOrder = 0;
    double loadSeconds = 0;
    Alternate(
        rounds,
        [&](int) {
            loadSeconds += RunLoadRound(port, inOrder, [&] {
                journal.Poll();
                shellMarks.push_back(journal.TickTimes().size());
            });
            return true;
        },
        [&](int) {
            RunLoadRound(floor.Port(), floorInOrder,
                         [&] { floorMarks.push_back(QpcToMicroseconds(QpcNow())); });
            return true;
        });
    TickWindows windows;  // shell: under the load; floor: the shell idle
    const std::vector<double>& shellTicks = journal.TickTimes();
    CutRounds(
        shellMarks,
        [&](std::size_t from, std::size_t to) {
            return std::vector<double>(shellTicks.begin() + static_cast<std::ptrdiff_t>(from),
                                       shellTicks.begin() + static_cast<std::ptrdiff_t>(to));
        },
        windows.shell, windows.floor);
    std::vector<std::vector<double>> echoLoadWindows, echoIdleWindows;
    const std::vector<double> floorTicks = ReadTickFile(floorTicksPath);
    CutRounds(
        floorMarks,
        [&](double from, double to) {
            std::vector<double> window;
            for (double t : floorTicks)
                if (t >= from && t < to) window.push_back(t);
            return window;
        },
        echoLoadWindows, echoIdleWindows);
    const TickStats load = PoolWindows(windows.shell);
    const TickStats idle = PoolWindows(windows.floor);
    const TickStats echoLoad = PoolWindows(echoLoadWindows);
    const TickStats echoIdle = PoolWindows(echoIdleWindows);

    const int all = rounds * kClients * kClientCommands;
    table.Add({"rcon 8 x 1000 commands: replies whole and in order, all rounds", std::to_string(inOrder),
               std::to_string(floorInOrder), "", std::to_string(all), Verdict(inOrder == all)});
    if (load.ticks < 2 || idle.ticks < 2) {
        table.Add({"tick rate, rcon 8 x 1000 (/s)", "", "", "", "too few ticks", "FAIL"});
        return;
    }
    char target[64];
    std::snprintf(target, sizeof target, "%.3f +-%.1f%%", kIdealTickRate, kPaceTolerance * 100);
    table.Add({"tick rate, rcon 8 x 1000 (/s)", Fixed(load.rate, 3), Fixed(idle.rate, 3),
               RatioText(load.rate, idle.rate), target,
               Verdict(std::fabs(load.rate / kIdealTickRate - 1) <= kPaceTolerance)});
    const Spread pairs = PairedTicks(windows, TickErrorP99).Ratios();
    table.Add({"tick interval error p99, rcon 8 x 1000 vs idle (ms)", Fixed(load.p99ErrorMs, 2),
               Fixed(idle.p99ErrorMs, 2), RatioText(load.p99ErrorMs, idle.p99ErrorMs),
               "<= 1.2x idle, all windows", Verdict(load.p99ErrorMs <= kFloorFactor * idle.p99ErrorMs)},
              SpreadText(pairs));
    if (echoLoad.ticks >= 2 && echoIdle.ticks >= 2) {
        table.Add({"tick interval error p99, the echo floor, rcon 8 x 1000 vs idle (ms)",
                   Fixed(echoLoad.p99ErrorMs, 2), Fixed(echoIdle.p99ErrorMs, 2),
                   RatioText(echoLoad.p99ErrorMs, echoIdle.p99ErrorMs), "", "info"});
        table.Add({"tick interval error p99 under rcon 8 x 1000, shell vs the echo floor (ms)",
                   Fixed(load.p99ErrorMs, 2), Fixed(echoLoad.p99ErrorMs, 2),
                   RatioText(load.p99ErrorMs, echoLoad.p99ErrorMs), "", "info"});
    }
    table.Add({"rcon 8 x 1000 commands: seconds a round", Fixed(loadSeconds / rounds, 1), "", "", "", "info"});
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
    FloodFigures(port, table);
    LoadFigures(paths, options, run, port, table);
}

}  // namespace bench
