// The metrics' parts that need no shell, inside this process: the strict
// HTTP request-head reader (every case fed whole and byte by byte), the
// endpoint's replies, the text format checked by Prometheus's own promtool,
// and the tick lateness taken on a clock the test drives.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "Files.h"
#include "WinePath.h"
#include "engine/Statistics.h"
#include "remote/HttpRequestReader.h"
#include "remote/MetricsHttp.h"
#include "remote/MetricsText.h"

namespace {

using remote::http::RequestReader;
using State = RequestReader::State;

// What a reader made of some bytes: 200 for a head read whole, the refusal's
// status, or 0 while it waits for more; and how many bytes it took.
struct Outcome {
    int status = 0;
    std::size_t used = 0;
    bool operator==(const Outcome&) const = default;
};

Outcome FeedWhole(const std::string& bytes) {
    RequestReader reader;
    const std::size_t used = reader.Feed(bytes);
    const int status = reader.Current() == State::kReady ? 200
                       : reader.Current() == State::kRefused ? reader.RefusalStatus()
                                                             : 0;
    return {status, used};
}

// The same bytes one at a time: framing never depends on how bytes arrive.
Outcome FeedByteByByte(const std::string& bytes) {
    RequestReader reader;
    std::size_t used = 0;
    for (char c : bytes) {
        if (reader.Current() != State::kReading) break;
        used += reader.Feed(std::string_view(&c, 1));
    }
    const int status = reader.Current() == State::kReady ? 200
                       : reader.Current() == State::kRefused ? reader.RefusalStatus()
                                                             : 0;
    return {status, used};
}

struct HeadCase {
    const char* name;
    std::string bytes;
    int status;  // 200 read, 0 waiting, else the refusal
};

std::string Get(const std::string& headers) { return "GET /metrics HTTP/1.1\r\nHost: a\r\n" + headers + "\r\n"; }

TEST(HttpRequestHead, EachHeadIsReadOrRefusedAlikeWholeAndByteByByte) {
    const std::string longTarget = "GET /" + std::string(8200, 'a') + " HTTP/1.1\r\nHost: a\r\n\r\n";
    const std::string longHeader = Get("X-Long: " + std::string(8200, 'b') + "\r\n");
    // A head of exactly 8 KiB, and one byte more.
    std::string exact = Get("X-Fill: \r\n");
    exact = Get("X-Fill: " + std::string(8192 - exact.size(), 'c') + "\r\n");
    const std::string over = Get("X-Fill: " + std::string(8192 - Get("X-Fill: \r\n").size() + 1, 'c') + "\r\n");
    ASSERT_EQ(exact.size(), 8192u);

    const std::vector<HeadCase> cases = {
        {"plain GET", Get(""), 200},
        {"HTTP/1.0 without Host", "GET /metrics HTTP/1.0\r\n\r\n", 200},
        {"Content-Length 0", Get("Content-Length: 0\r\n"), 200},
        {"query kept apart", "GET /metrics?x=1 HTTP/1.1\r\nHost: a\r\n\r\n", 200},
        {"value with blanks and high bytes", Get("User-Agent:  Prom \xC3\xA9 1.0 \t\r\n"), 200},
        {"unfinished head", "GET /metrics HTTP/1.1\r\nHost: a\r\n", 0},
        {"exactly 8 KiB", exact, 200},
        {"one byte over 8 KiB", over, 431},
        {"request line over 8 KiB", longTarget, 414},
        {"header line over 8 KiB", longHeader, 431},
        {"HTTP/1.1 without Host", "GET /metrics HTTP/1.1\r\n\r\n", 400},
        {"two Hosts", Get("Host: b\r\n"), 400},
        {"line ended by LF alone", "GET /metrics HTTP/1.1\nHost: a\r\n\r\n", 400},
        {"CR without LF", "GET /metrics HTTP/1.1\rHost: a\r\n\r\n", 400},
        {"folded header", Get("X-A: b\r\n c\r\n"), 400},
        {"space before the colon", Get("X-A : b\r\n"), 400},
        {"header without colon", Get("X-A b\r\n"), 400},
        {"NUL in a value", Get(std::string("X-A: b\0c\r\n", 10)), 400},
        {"a body announced", Get("Content-Length: 5\r\n"), 413},
        {"a chunked body", Get("Transfer-Encoding: chunked\r\n"), 413},
        {"bad Content-Length", Get("Content-Length: 5x\r\n"), 400},
        {"two spaces in the request line", "GET  /metrics HTTP/1.1\r\nHost: a\r\n\r\n", 400},
        {"no version", "GET /metrics\r\nHost: a\r\n\r\n", 400},
        {"target not a path", "GET metrics HTTP/1.1\r\nHost: a\r\n\r\n", 400},
        {"absolute-form target", "GET http://a/metrics HTTP/1.1\r\nHost: a\r\n\r\n", 400},
        {"bad method", "G@T /metrics HTTP/1.1\r\nHost: a\r\n\r\n", 400},
        {"HTTP/2.0", "GET /metrics HTTP/2.0\r\nHost: a\r\n\r\n", 505},
        {"malformed version", "GET /metrics HTTP/1.x\r\nHost: a\r\n\r\n", 400},
        {"empty line first", "\r\nGET /metrics HTTP/1.1\r\nHost: a\r\n\r\n", 400},
    };
    for (const HeadCase& c : cases) {
        const Outcome whole = FeedWhole(c.bytes);
        EXPECT_EQ(whole.status, c.status) << c.name;
        EXPECT_EQ(FeedByteByByte(c.bytes), whole) << c.name;
        if (c.status == 200) {
            EXPECT_EQ(whole.used, c.bytes.size()) << c.name;
        }
    }
}

TEST(HttpRequestHead, KeepAliveFollowsTheVersionAndTheConnectionField) {
    struct Case {
        std::string bytes;
        bool keepAlive;
    } cases[] = {
        {Get(""), true},
        {Get("Connection: close\r\n"), false},
        {Get("Connection: Keep-Alive, CLOSE\r\n"), false},
        {"GET /metrics HTTP/1.0\r\n\r\n", false},
        {"GET /metrics HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", true},
    };
    for (const Case& c : cases) {
        RequestReader reader;
        reader.Feed(c.bytes);
        ASSERT_EQ(reader.Current(), State::kReady) << c.bytes;
        EXPECT_EQ(reader.Head().keepAlive, c.keepAlive) << c.bytes;
    }
}

// A fixed Date, so that whole replies can be compared.
constexpr std::time_t kDate = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT

remote::MetricsHttp Endpoint(int* renders = nullptr) {
    return remote::MetricsHttp(
        [renders] {
            if (renders) ++*renders;
            return std::string("velmor_ticks_total 7\n");
        },
        [] { return kDate; });
}

TEST(MetricsHttp, GetMetricsAnswersTheTextAndKeepsTheConnection) {
    int renders = 0;
    remote::MetricsHttp endpoint = Endpoint(&renders);
    std::string reply;
    EXPECT_TRUE(endpoint.Receive("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1:9\r\nAccept: */*\r\n\r\n", reply));
    EXPECT_EQ(reply,
              "HTTP/1.1 200 OK\r\n"
              "Date: Sun, 06 Nov 1994 08:49:37 GMT\r\n"
              "Content-Type: text/plain; version=0.0.4; charset=utf-8\r\n"
              "Content-Length: 21\r\n"
              "\r\n"
              "velmor_ticks_total 7\n");
    EXPECT_EQ(renders, 1);
    EXPECT_FALSE(endpoint.InsideRequest());
}

TEST(MetricsHttp, PipelinedRequestsAreAnsweredInOrderAndAStrayPathOrMethodDoesNotRender) {
    int renders = 0;
    remote::MetricsHttp endpoint = Endpoint(&renders);
    std::string reply;
    const std::string requests = "GET /other HTTP/1.1\r\nHost: a\r\n\r\n"
                                 "POST /metrics HTTP/1.1\r\nHost: a\r\nContent-Length: 0\r\n\r\n"
                                 "GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n"
                                 "GET /met";
    EXPECT_TRUE(endpoint.Receive(requests, reply));
    const std::size_t notFound = reply.find("HTTP/1.1 404 Not Found\r\n");
    const std::size_t notAllowed = reply.find("HTTP/1.1 405 Method Not Allowed\r\n");
    const std::size_t ok = reply.find("HTTP/1.1 200 OK\r\n");
    EXPECT_EQ(notFound, 0u) << reply;
    EXPECT_LT(notFound, notAllowed);
    EXPECT_LT(notAllowed, ok);
    EXPECT_NE(reply.find("Allow: GET\r\n"), std::string::npos);
    EXPECT_EQ(reply.find("Connection: close"), std::string::npos);
    EXPECT_EQ(renders, 1);
    EXPECT_TRUE(endpoint.InsideRequest());  // "GET /met" waits for its rest

    reply.clear();
    EXPECT_FALSE(endpoint.Receive("rics HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", reply));
    EXPECT_EQ(reply.find("HTTP/1.1 200 OK\r\n"), 0u);
    EXPECT_NE(reply.find("Connection: close\r\n"), std::string::npos);
    EXPECT_EQ(renders, 2);
}

TEST(MetricsHttp, ARefusedHeadIsAnsweredOnceAndTheRestIsNotRead) {
    int renders = 0;
    remote::MetricsHttp endpoint = Endpoint(&renders);
    std::string reply;
    EXPECT_FALSE(endpoint.Receive(
        "POST /metrics HTTP/1.1\r\nHost: a\r\nContent-Length: 4\r\n\r\nGET /metrics HTTP/1.1\r\nHost: a\r\n\r\n",
        reply));
    EXPECT_EQ(reply.find("HTTP/1.1 413 Content Too Large\r\n"), 0u) << reply;
    EXPECT_NE(reply.find("Connection: close\r\n"), std::string::npos);
    EXPECT_EQ(reply.find("HTTP/1.1", 1), std::string::npos) << "a second reply";
    EXPECT_FALSE(endpoint.Receive("GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n", reply));
    EXPECT_EQ(renders, 0);
}

// A snapshot with something in every series.
stats::Snapshot SampleFigures() {
    stats::Snapshot s;
    s.ticks = 1234;
    for (std::size_t i = 0; i < stats::kBucketCount; ++i) {
        s.lateness.buckets[i] = 100 + i;
        s.tickTime.buckets[i] = i;
    }
    s.lateness.count = s.tickTime.count = 0;
    for (std::size_t i = 0; i < stats::kBucketCount; ++i) {
        s.lateness.count += s.lateness.buckets[i];
        s.tickTime.count += s.tickTime.buckets[i];
    }
    s.lateness.sumSeconds = 1.5;
    s.lateness.maxSeconds = 0.25;
    s.tickTime.sumSeconds = 0.75;
    s.tickTime.maxSeconds = 0.125;
    s.commands[1].count = 3;
    s.commands[1].time.buckets[2] = 3;
    s.commands[1].time.count = 3;
    s.logLines[1] = 17;
    s.logLines[stats::kLogCountSlots - 1] = 2;
    s.logFileBytes = 4096;
    s.remoteConnectionsOpen = 2;
    s.process.uptimeSeconds = 12.5;
    s.process.privateBytes = 1 << 20;
    return s;
}

const char* const kNames[kLogCategoryCount] = {
    "CONSOLE", "INFO", "CRITICAL", "WIN", "NET", "ED", "REND", "FILE", "AUDIO", "RES", "ACTOR",
    "SERVER",  "BUG",  "INIT",     "EXIT", "BSP", "TRANS", "A", "B", "C", "D", "E",
    "F",       "G",    "H",        "I",   "J",   "K",     "T",    "U",    "V",     "W"};

TEST(MetricsText, PromtoolFindsNoProblemAndHistogramsAreCumulative) {
    const std::string text = remote::RenderMetrics(SampleFigures(), kNames, "1.0.0.0", "win64");

    // Cumulative buckets: +Inf holds all, as _count does.
    EXPECT_NE(text.find("velmor_tick_lateness_seconds_bucket{le=\"0.0005\"} 100\n"), std::string::npos) << text;
    EXPECT_NE(text.find("velmor_tick_lateness_seconds_bucket{le=\"0.001\"} 201\n"), std::string::npos);
    EXPECT_NE(text.find("velmor_tick_lateness_seconds_bucket{le=\"+Inf\"} 936\n"), std::string::npos);
    EXPECT_NE(text.find("velmor_tick_lateness_seconds_count 936\n"), std::string::npos);
    EXPECT_NE(text.find("velmor_command_engine_seconds_bucket{source=\"automation\",le=\"0.002\"} 3\n"),
              std::string::npos);
    EXPECT_NE(text.find("velmor_commands_total{source=\"automation\"} 3\n"), std::string::npos);
    EXPECT_NE(text.find("velmor_log_lines_total{category=\"other\"} 2\n"), std::string::npos);
    EXPECT_NE(text.find("velmor_build_info{version=\"1.0.0.0\",architecture=\"win64\"} 1\n"), std::string::npos);

    // This one and the figures of this very process, as the store and the
    // system give them.
    const std::string base = std::string(VELMOR_SCRATCH_ROOT) + "/metrics-promtool";
    vt::WriteFileBytes(vt::ToWindowsPath(base + "-sample.prom"), text);
    vt::WriteFileBytes(vt::ToWindowsPath(base + "-live.prom"),
                       remote::RenderMetrics(stats::TakeSnapshot(), kNames, stats::BuildVersion(),
                                             stats::BuildArchitecture()));
    const vt::ChildResult check = vt::RunHostCommand(
        "promtool check metrics < '" + base + "-sample.prom' && promtool check metrics < '" + base + "-live.prom'",
        VELMOR_SCRATCH_ROOT, base);
    ASSERT_TRUE(check.finished);
    EXPECT_EQ(check.exitCode, 0u) << check.out << check.err;
    EXPECT_EQ(check.out + check.err, "") << "promtool found problems";
}

// Ticks recorded on a clock the test drives, in the performance counter's units.
class TickLateness : public testing::Test {
protected:
    void SetUp() override {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        frequency = f.QuadPart;
        stats::SetTickPeriod(28);
    }
    std::int64_t Ms(double ms) const { return static_cast<std::int64_t>(ms * static_cast<double>(frequency) / 1000); }
    // A tick that starts `startMs` after the origin and lasts `lengthMs`.
    void Tick(double startMs, double lengthMs = 1) {
        stats::RecordTick(base + Ms(startMs), base + Ms(startMs) + Ms(lengthMs));
    }
    std::int64_t frequency = 1;
    std::int64_t base = 1'000'000'000;
};

TEST_F(TickLateness, TicksOnTheirScheduleAreNotLateAndQueuedOnesAre) {
    const stats::Snapshot before = stats::TakeSnapshot();
    // On time, then one held up 100 ms (by a long command, say): it and the
    // three due meanwhile run back to back, then the schedule holds again.
    Tick(0);
    Tick(28);
    Tick(155.9);           // due at 56: 99.9 ms late
    Tick(157);             // due at 84: 73 ms
    Tick(158);             // due at 112: 46 ms
    Tick(159, 5);          // due at 140: 19 ms; 5 ms in the engine
    Tick(168.3);           // due at 168: 0.3 ms
    const stats::Snapshot after = stats::TakeSnapshot();

    std::uint64_t added[stats::kBucketCount];
    for (std::size_t i = 0; i < stats::kBucketCount; ++i)
        added[i] = after.lateness.buckets[i] - before.lateness.buckets[i];
    // Buckets: <=0.5, 1, 2, 5, 10, 20, 50, 100, more.
    const std::uint64_t expected[stats::kBucketCount] = {3, 0, 0, 0, 0, 1, 1, 2, 0};
    for (std::size_t i = 0; i < stats::kBucketCount; ++i) EXPECT_EQ(added[i], expected[i]) << "bucket " << i;
    EXPECT_EQ(after.ticks - before.ticks, 7u);
    EXPECT_NEAR(after.lateness.maxSeconds, 0.0999, 0.0001);
    EXPECT_NEAR(after.tickTime.maxSeconds, 0.005, 0.0001);
    EXPECT_NEAR(after.lateness.sumSeconds - before.lateness.sumSeconds, (99.9 + 73 + 46 + 19 + 0.3) / 1000, 0.0001);
}

TEST_F(TickLateness, AnEarlyTickMovesTheScheduleBackInsteadOfCountingLate) {
    // The first tick came 3 ms late itself; the second shows the schedule
    // was 3 ms earlier, and from then on ticks on it are not late.
    const stats::Snapshot before = stats::TakeSnapshot();
    Tick(3);
    Tick(28);   // due at 31 by the first: early, so the schedule is 0, 28, 56...
    Tick(56);
    Tick(84.4);
    const stats::Snapshot after = stats::TakeSnapshot();
    EXPECT_EQ(after.ticks - before.ticks, 4u);
    EXPECT_EQ(after.lateness.buckets[0] - before.lateness.buckets[0], 4u) << "each within 0.5 ms of its place";
    EXPECT_NEAR(after.lateness.sumSeconds - before.lateness.sumSeconds, 0.0004, 0.00005);
}

// Another thread reads while ticks are recorded: each snapshot has every
// tick in all three figures or in none, whatever moment it was taken.
TEST_F(TickLateness, ASnapshotTakenWhileTicksAreRecordedIsWhole) {
    // The ticker runs until 50 snapshots are taken, however slow each one
    // is on a loaded machine.
    std::atomic<bool> stop{false};
    std::atomic<int> ticks{0};
    std::thread ticker([&] {
        for (int i = 0; !stop.load(); ++i) {
            Tick(i * 28.0 + (i % 7));
            ticks.store(i + 1);
        }
    });
    while (ticks.load() == 0) std::this_thread::yield();
    int torn = 0;
    constexpr int kSnapshots = 50;
    for (int i = 0; i < kSnapshots; ++i) {
        const stats::Snapshot s = stats::TakeSnapshot();
        if (s.lateness.count != s.ticks || s.tickTime.count != s.ticks) ++torn;
    }
    const int during = ticks.load();
    stop.store(true);
    ticker.join();
    EXPECT_EQ(torn, 0) << "of " << kSnapshots << " snapshots";
    EXPECT_GT(during, 1000) << "the ticks were recorded while the snapshots were taken";
}

TEST(HistogramQuantile, InterpolatesAsPrometheusDoesButNeverPastTheLongest) {
    stats::HistogramFigures figures;
    figures.buckets[0] = 50;  // up to 0.5 ms
    figures.buckets[3] = 50;  // 2..5 ms
    figures.count = 100;
    figures.maxSeconds = 0.004;
    EXPECT_DOUBLE_EQ(stats::Quantile(figures, 0.5), 0.0005);
    EXPECT_DOUBLE_EQ(stats::Quantile(figures, 0.25), 0.00025);
    // In the 2..5 ms bucket, whose top is the longest seen, 4 ms.
    EXPECT_NEAR(stats::Quantile(figures, 0.99), 0.002 + 0.002 * 0.98, 1e-12);
    EXPECT_DOUBLE_EQ(stats::Quantile(stats::HistogramFigures{}, 0.99), 0);
}

}  // namespace
