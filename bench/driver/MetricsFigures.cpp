#include "MetricsFigures.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "Harness.h"
#include "Interleave.h"
#include "MetricsClient.h"
#include "Qpc.h"
#include "Stats.h"
#include "TickLateness.h"
#include "TickWindows.h"
#include "Wait.h"
#include "remote/MetricsText.h"

namespace bench {

namespace {

constexpr int kBlocks = 30;          // pairs of blocks, shell and floor
constexpr int kBlockScrapes = 100;   // scrapes per block
constexpr int kWarmUp = 50;
constexpr double kFloorFactor = 1.2;
constexpr double kScrapeFactor = 1.2;
constexpr auto kScrapeEvery = std::chrono::milliseconds(100);  // ten a second
constexpr double kSettleSeconds = 0.3;  // at the start of each window, as the tick runs settle

// Microseconds of each of `count` scrapes; empty when one failed.
std::vector<double> RoundTrips(MetricsClient& client, int count) {
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::int64_t begin = QpcNow();
        if (!client.Get()) return {};
        times.push_back(QpcToMicroseconds(QpcNow() - begin));
    }
    return times;
}

// floor_metrics started for the run with a body of `bodyBytes`; its port once
// it listens.
class MetricsFloor {
public:
    MetricsFloor(const Paths& paths, std::size_t bodyBytes) {
        const std::string portFile = paths.benchDir + "\\floor-metrics.port";
        ::DeleteFileA(portFile.c_str());
        m_process = std::make_unique<Child>(paths.Floor("floor_metrics"),
                                            "\"" + portFile + "\" " + std::to_string(bodyBytes), paths.benchDir);
        vt::WaitUntil(
            [&] { return (m_port = static_cast<std::uint16_t>(std::atoi(ReadTextFile(portFile).c_str()))) != 0; },
            std::chrono::seconds(30));
    }
    std::uint16_t Port() const { return m_port; }

private:
    std::unique_ptr<Child> m_process;  // ended with the run
    std::uint16_t m_port = 0;
};

void RoundTripFigures(const Paths& paths, std::uint16_t shellPort, ResultTable& table) {
    MetricsClient shell(shellPort);
    const std::optional<std::string> first = shell.Get();
    if (!first) {
        table.Add({"scrape round trip", "", "", "", "the shell's metrics endpoint did not answer", "FAIL"});
        return;
    }
    MetricsFloor floorRun(paths, first->size());
    MetricsClient floor(floorRun.Port());
    if (!floorRun.Port() || RoundTrips(floor, kWarmUp).empty() || RoundTrips(shell, kWarmUp).empty()) {
        table.Pending("scrape round trip", "the floor or the shell failed its first scrapes");
        return;
    }
    std::printf("  scrape round trip: %d pairs of %d-scrape blocks, shell and floor in turn, %zu-byte body\n",
                kBlocks, kBlockScrapes, first->size());
    std::fflush(stdout);
    PairedFigure medians;
    PairedFigure p99s;
    std::vector<double> shellAll;
    std::vector<double> floorAll;
    std::vector<double> shellBlock;
    std::vector<double> floorBlock;
    const int pairs = Alternate(
        kBlocks,
        [&](int) {
            shellBlock = RoundTrips(shell, kBlockScrapes);
            shellAll.insert(shellAll.end(), shellBlock.begin(), shellBlock.end());
            return !shellBlock.empty();
        },
        [&](int) {
            floorBlock = RoundTrips(floor, kBlockScrapes);
            floorAll.insert(floorAll.end(), floorBlock.begin(), floorBlock.end());
            if (floorBlock.empty()) return false;
            if (!shellBlock.empty()) {
                medians.Add(Median(shellBlock), Median(floorBlock));
                p99s.Add(Percentile(shellBlock, 99), Percentile(floorBlock, 99));
            }
            return true;
        });
    if (pairs < kBlocks) {
        table.Add({"scrape round trip", "", "", "", "a scrape failed", "FAIL"});
        return;
    }
    table.Add({"scrape body (bytes)", std::to_string(first->size()), std::to_string(first->size()), "", "", "info"});
    AddPairedRow(table, "scrape round trip median (us)", medians, 0, kFloorFactor);
    AddPooledRow(table, "scrape round trip p99 (us)", Percentile(shellAll, 99), Percentile(floorAll, 99), p99s, 0,
                 kFloorFactor);
}

// Where a scrape's time goes: its snapshot (the process figures are read
// from the system) and its text, done in the driver's own process with the
// shell's code, the median of a few hundred of each.
void ScrapeWork(ResultTable& table) {
    constexpr int kRounds = 300;
    const char* names[kLogCategoryCount];
    for (const char*& name : names) name = "category";
    std::vector<double> snapshots;
    std::vector<double> texts;
    for (int i = 0; i < kRounds; ++i) {
        const std::int64_t begin = QpcNow();
        const stats::Snapshot snapshot = stats::TakeSnapshot();
        const std::int64_t taken = QpcNow();
        const std::string text = remote::RenderMetrics(snapshot, names, "0", "bench");
        snapshots.push_back(QpcToMicroseconds(taken - begin));
        texts.push_back(QpcToMicroseconds(QpcNow() - taken));
    }
    table.Add({"a scrape's snapshot, in the driver's process, median (us)", Fixed(Median(snapshots), 1), "", "", "",
               "info"});
    table.Add({"a scrape's text, in the driver's process, median (us)", Fixed(Median(texts), 1), "", "", "", "info"});
}

// Scrapes ten times a second on a connection of its own while switched on.
class ScrapeLoad {
public:
    explicit ScrapeLoad(std::uint16_t port) : m_thread([this, port] { Run(port); }) {}
    ~ScrapeLoad() {
        m_stop = true;
        m_thread.join();
    }
    void Switch(bool on) { m_on = on; }
    long long Scrapes() const { return m_scrapes; }
    bool Failed() const { return m_failed; }

private:
    void Run(std::uint16_t port) {
        MetricsClient client(port);
        auto next = std::chrono::steady_clock::now();
        while (!m_stop) {
            next += kScrapeEvery;
            std::this_thread::sleep_until(next);
            if (!m_on) continue;
            if (client.Get())
                ++m_scrapes;
            else
                m_failed = true;
        }
    }

    std::atomic<bool> m_on{false};
    std::atomic<bool> m_stop{false};
    std::atomic<long long> m_scrapes{0};
    std::atomic<bool> m_failed{false};
    std::thread m_thread;
};

void Wait(double seconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long long>(seconds * 1000)));
}

void LatenessUnderScrapes(const Options& options, std::uint16_t port, ResultTable& table) {
    const int pairs = TickWindowPairs(options.seconds);
    std::printf("  the shell's own tick lateness, scraped ten times a second and not, in turn: %d windows of %.1f s "
                "each\n",
                pairs, kTickWindowSeconds);
    std::fflush(stdout);
    ShellLatenessScraper reader(port);
    ScrapeLoad load(port);
    std::vector<Lateness> scraped;
    std::vector<Lateness> quiet;
    double scrapedSeconds = 0;
    // One window: the shell's own lateness read before and after it.
    auto window = [&](std::vector<Lateness>& into, bool on) {
        load.Switch(on);
        Wait(kSettleSeconds);
        const std::optional<Lateness> before = reader();
        const std::int64_t begin = QpcNow();
        Wait(kTickWindowSeconds);
        const std::optional<Lateness> after = reader();
        if (on) scrapedSeconds += QpcToMicroseconds(QpcNow() - begin) / 1e6;
        load.Switch(false);
        if (!before || !after) return false;
        into.push_back(Difference(*after, *before));
        return true;
    };
    const long long scrapesBefore = load.Scrapes();
    const int done = Alternate(
        pairs, [&](int) { return window(scraped, true); }, [&](int) { return window(quiet, false); });
    if (done < pairs || load.Failed()) {
        table.Add({"tick lateness p99, scraped 10/s vs not", "", "", "", "a reading or a scrape failed", "FAIL"});
        return;
    }
    PairedFigure paired;
    for (int i = 0; i < pairs; ++i) paired.Add(QuantileMs(scraped[i], 0.99), QuantileMs(quiet[i], 0.99));
    const Lateness with = Pooled(scraped);
    const Lateness without = Pooled(quiet);
    const double rate = static_cast<double>(load.Scrapes() - scrapesBefore) / scrapedSeconds;
    table.Add({"scrapes during the scraped windows (/s)", Fixed(rate, 1), "", "", "10", "info"});
    table.Add({"tick lateness median, scraped 10/s vs not (ms)", Fixed(QuantileMs(with, 0.5), 2),
               Fixed(QuantileMs(without, 0.5), 2), RatioText(QuantileMs(with, 0.5), QuantileMs(without, 0.5)), "",
               "info"});
    const double p99With = QuantileMs(with, 0.99);
    const double p99Without = QuantileMs(without, 0.99);
    char target[48];
    std::snprintf(target, sizeof target, "<= %.1fx unscraped, all windows", kScrapeFactor);
    table.Add({"tick lateness p99, scraped 10/s vs not (ms)", Fixed(p99With, 2), Fixed(p99Without, 2),
               RatioText(p99With, p99Without), target,
               p99Without > 0 ? Verdict(p99With <= kScrapeFactor * p99Without) : "FAIL"},
              SpreadText(paired.Ratios()));
}

}  // namespace

void RunMetricsFigures(const Paths& paths, const Options& options, ResultTable& table) {
    std::printf("metrics\n");
    std::fflush(stdout);
    const ScratchTree tree = StartTree("metrics", "");
    const std::uint16_t port = FreeLoopbackPort();
    tree.Write("System\\Velmor.ini", MetricsSettings(port));
    ShellProcess run(tree);
    if (!run.WaitEngineStarted(std::chrono::seconds(60))) {
        table.Pending("metrics", "the shell did not start");
        return;
    }
    if (!MetricsClient(port).Get()) {
        table.Pending("metrics", "the shell's metrics endpoint did not answer");
    } else {
        RoundTripFigures(paths, port, table);
        ScrapeWork(table);
        LatenessUnderScrapes(options, port, table);
    }
    if (!run.Close(std::chrono::seconds(30))) run.Kill();
}

}  // namespace bench
