// The metrics endpoint of two real shells under Wine: a real Prometheus
// scrapes both and answers queries over them, promtool checks a scrape, and
// hostile HTTP meets one of them. Shell A is the automation server (started
// as OLE starts it), shell B has the remote console too. The cases run in
// order; the last closes both and reads their log files.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Files.h"
#include "OleShell.h"
#include "RconClient.h"
#include "ScratchTree.h"
#include "ShellProcess.h"
#include "TextLines.h"
#include "Wait.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr char kPassword[] = "Metrics-endpoint-test-password";
constexpr char kMetricsListening[] = "INFO: Metrics endpoint listening on 127.0.0.1:";
constexpr double kTicksPerSecond = 1000.0 / 28;

std::string Unix(const std::string& relative) { return std::string(VELMOR_SCRATCH_ROOT) + "/" + relative; }

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Reply {
    int status = 0;
    std::string head;
    std::string body;
};

// A raw HTTP client on a blocking socket, from any loopback address.
class HttpClient {
public:
    explicit HttpClient(std::uint16_t port, const char* from = "127.0.0.1") {
        m_socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in local{}, server{};
        local.sin_family = server.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &local.sin_addr);
        ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
        server.sin_port = htons(port);
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::connect(m_socket, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
            ::closesocket(m_socket);
            m_socket = INVALID_SOCKET;
        }
    }
    ~HttpClient() {
        if (m_socket != INVALID_SOCKET) ::closesocket(m_socket);
    }
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    std::string Local() const {
        sockaddr_in local{};
        int length = sizeof local;
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &length);
        char text[32] = {};
        ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
        return std::string(text) + ':' + std::to_string(ntohs(local.sin_port));
    }
    bool Send(const std::string& bytes) {
        return m_socket != INVALID_SOCKET &&
               ::send(m_socket, bytes.data(), static_cast<int>(bytes.size()), 0) == static_cast<int>(bytes.size());
    }
    // The next whole reply, its body as long as its Content-Length says.
    std::optional<Reply> Read(std::chrono::milliseconds timeout = 10s) {
        const auto deadline = Clock::now() + timeout;
        std::size_t end;
        while ((end = m_buffer.find("\r\n\r\n")) == std::string::npos)
            if (!Fill(deadline)) return std::nullopt;
        Reply reply;
        reply.head = m_buffer.substr(0, end + 2);
        reply.status = std::atoi(reply.head.c_str() + 9);
        std::string lower = reply.head;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::size_t at = lower.find("\r\ncontent-length:");
        const std::size_t length = at == std::string::npos ? 0 : std::strtoul(lower.c_str() + at + 17, nullptr, 10);
        while (m_buffer.size() < end + 4 + length)
            if (!Fill(deadline)) return std::nullopt;
        reply.body = m_buffer.substr(end + 4, length);
        m_buffer.erase(0, end + 4 + length);
        return reply;
    }
    // True when the server ends the connection within `timeout`; what comes
    // first is dropped.
    bool WaitClosed(std::chrono::milliseconds timeout = 10s) {
        const auto deadline = Clock::now() + timeout;
        while (Fill(deadline)) m_buffer.clear();
        return m_ended;
    }

private:
    bool Fill(Clock::time_point deadline) {
        if (m_socket == INVALID_SOCKET || m_ended) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_socket, &readable);
        timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000) * 1000};
        if (::select(0, &readable, nullptr, nullptr, &wait) != 1) return false;
        char buffer[16384];
        const int n = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (n <= 0) {
            m_ended = true;  // closed or reset
            return false;
        }
        m_buffer.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    SOCKET m_socket = INVALID_SOCKET;
    std::string m_buffer;
    bool m_ended = false;
};

std::string Get(const std::string& path, const std::string& more = "") {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + more + "\r\n";
}

// The value of the series line "<series> <value>" in a scrape; NaN when missing.
double Figure(const std::string& text, const std::string& series) {
    const std::size_t at = text.find("\n" + series + " ");
    return at == std::string::npos ? NAN : std::strtod(text.c_str() + at + series.size() + 2, nullptr);
}

std::string Scrape(std::uint16_t port) {
    HttpClient client(port);
    if (!client.Send(Get("/metrics", "Connection: close\r\n"))) return {};
    const std::optional<Reply> reply = client.Read();
    return reply && reply->status == 200 ? reply->body : std::string();
}

std::uint16_t FreePort() {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.1", &where.sin_addr);
    int length = sizeof where;
    ::bind(s, reinterpret_cast<sockaddr*>(&where), sizeof where);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&where), &length);
    ::closesocket(s);
    return ntohs(where.sin_port);
}

// A Prometheus server on the host, with a storage folder of its own, ended
// by its process id.
class Prometheus {
public:
    Prometheus(const std::string& name, const std::vector<std::uint16_t>& targets) : m_name(name) {
        const std::string folder = vt::ScratchDirectory(name);
        std::string list;
        for (const std::uint16_t port : targets) list += (list.empty() ? "'127.0.0.1:" : ", '127.0.0.1:") + std::to_string(port) + "'";
        vt::WriteFile(folder + "\\prometheus.yml",
                      "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
                      "scrape_configs:\n  - job_name: velmor\n    static_configs:\n      - targets: [" +
                          list + "]\n");
        m_url = "http://127.0.0.1:" + std::to_string(FreePort());
        const vt::ChildResult start = vt::RunHostCommand(
            "prometheus --config.file=prometheus.yml --storage.tsdb.path=data --web.listen-address=" +
                m_url.substr(7) + " </dev/null >prometheus.log 2>&1 & echo $!",
            Unix(name), Unix(name + "-start"));
        if (start.finished && start.exitCode == 0) m_pid = std::strtoul(start.out.c_str(), nullptr, 10);
    }
    ~Prometheus() {
        if (m_pid) vt::RunHostCommand("kill " + std::to_string(m_pid), "/", Unix(m_name + "-stop"));
    }
    bool Started() const { return m_pid != 0; }
    // The query's results, one line each, "labels value"; nothing when it fails.
    std::optional<std::vector<std::string>> Query(const std::string& query) {
        const vt::ChildResult run =
            vt::RunHostCommand("python3 prometheus_query.py '" + m_url + "' '" + query + "'", VELMOR_REMOTE_TEST_DIR,
                               Unix(m_name + "-query"));
        if (!run.finished || run.exitCode != 0) return std::nullopt;
        std::vector<std::string> lines = vt::SplitLines(run.out);
        while (!lines.empty() && lines.back().empty()) lines.pop_back();
        return lines;
    }
    // Asks `query` until it has `count` results, within `timeout`.
    std::vector<std::string> Await(const std::string& query, std::size_t count, std::chrono::milliseconds timeout = 60s) {
        std::vector<std::string> lines;
        vt::WaitUntil(
            [&] {
                const auto answer = Query(query);
                if (answer) lines = *answer;
                if (lines.size() == count) return true;
                ::Sleep(500);
                return false;
            },
            timeout);
        return lines;
    }

private:
    std::string m_name;
    std::string m_url;
    unsigned long m_pid = 0;
};

// The number after the last space of a result line.
double ValueOf(const std::string& line) { return std::strtod(line.c_str() + line.rfind(' ') + 1, nullptr); }

class MetricsEndpoint : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // B first: its ordinary start registers its own tree, which A's
        // registration then replaces.
        s_treeB = new vt::ScratchTree("metrics-b");
        s_treeB->Write("System\\Velmor.ini", std::string("[Metrics]\r\nPort=0\r\n[RemoteConsole]\r\nPassword=") +
                                                 kPassword + "\r\nPort=0\r\n");
        s_shellB = new vt::ShellProcess(vt::StartIn(*s_treeB));
        if (!s_shellB->WaitEngineStarted()) return;
        s_portB = vt::ListeningPort(*s_shellB, 30s, kMetricsListening);
        s_rconB = vt::ListeningPort(*s_shellB);

        s_treeA = new vt::ScratchTree("metrics-a");
        s_treeA->Write("System\\Velmor.ini", "[Metrics]\r\nPort=0\r\n");
        if (!vt::RegisterShell(*s_treeA)) return;
        s_shellA = new vt::ShellProcess(vt::StartIn(*s_treeA, "-Embedding"));
        if (!s_shellA->WaitEngineStarted()) return;
        s_portA = vt::ListeningPort(*s_shellA, 30s, kMetricsListening);
    }
    static void TearDownTestSuite() {
        delete s_shellA;
        delete s_shellB;
        delete s_treeA;
        delete s_treeB;
    }
    void SetUp() override {
        ASSERT_NE(s_portA, 0) << "shell A does not listen";
        ASSERT_NE(s_portB, 0) << "shell B does not listen";
        ASSERT_NE(s_rconB, 0);
    }
    // A line B's log file must hold once it has ended.
    static void ExpectLogged(const std::string& line) { s_expected.push_back(line); }
    static std::string Peer(const HttpClient& client) { return "INFO: Metrics endpoint: " + client.Local() + " "; }

    static vt::ScratchTree* s_treeA;
    static vt::ScratchTree* s_treeB;
    static vt::ShellProcess* s_shellA;
    static vt::ShellProcess* s_shellB;
    static std::uint16_t s_portA, s_portB, s_rconB;
    static std::vector<std::string> s_expected;
};

vt::ScratchTree* MetricsEndpoint::s_treeA = nullptr;
vt::ScratchTree* MetricsEndpoint::s_treeB = nullptr;
vt::ShellProcess* MetricsEndpoint::s_shellA = nullptr;
vt::ShellProcess* MetricsEndpoint::s_shellB = nullptr;
std::uint16_t MetricsEndpoint::s_portA = 0;
std::uint16_t MetricsEndpoint::s_portB = 0;
std::uint16_t MetricsEndpoint::s_rconB = 0;
std::vector<std::string> MetricsEndpoint::s_expected;

TEST_F(MetricsEndpoint, PrometheusScrapesTwoShellsAndFindsTheirTicksCommandsAndLateness) {
    // Three automation commands to A, five remote ones to B.
    for (int i = 0; i < 3; ++i) {
        const vt::ChildResult ctl =
            vt::RunChild("\"" + vt::VelmorctlPath() + "\" exec rec.journal automation " + std::to_string(i),
                         s_treeA->Root(), s_treeA->Path("velmorctl"));
        ASSERT_TRUE(ctl.finished && ctl.exitCode == 0) << ctl.err;
    }
    ASSERT_TRUE(s_shellA->EngineJournal().WaitFor("note automation 2"));
    {
        vt::RconClient client(s_rconB);
        ASSERT_TRUE(client.SignIn(kPassword));
        for (int i = 0; i < 5; ++i) ASSERT_TRUE(client.Command("rec.journal remote " + std::to_string(i)));
    }

    Prometheus prometheus("metrics-prometheus", {s_portA, s_portB});
    ASSERT_TRUE(prometheus.Started()) << "tools/setup.sh installs prometheus";
    const std::string a = "instance=127.0.0.1:" + std::to_string(s_portA);
    const std::string b = "instance=127.0.0.1:" + std::to_string(s_portB);

    // The helper prints the results sorted as text.
    auto sorted = [](std::vector<std::string> lines) {
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    EXPECT_EQ(prometheus.Await("up == 1", 2), sorted({a + " 1", b + " 1"}));
    // Five seconds of samples, and a little more.
    ::Sleep(6500);
    const std::vector<std::string> rates = prometheus.Await("rate(velmor_ticks_total[5s])", 2);
    ASSERT_EQ(rates.size(), 2u);
    for (const std::string& line : rates) {
        EXPECT_NEAR(ValueOf(line), kTicksPerSecond, 1.0) << line;
        std::printf("ticks per second: %s\n", line.c_str());
    }

    EXPECT_EQ(prometheus.Await("velmor_commands_total", 6),
              sorted({a + ",source=automation 3", a + ",source=console 0", a + ",source=remote 0",
                      b + ",source=automation 0", b + ",source=console 0", b + ",source=remote 5"}));

    const std::vector<std::string> p99 =
        prometheus.Await("histogram_quantile(0.99, rate(velmor_tick_lateness_seconds_bucket[5s]))", 2);
    ASSERT_EQ(p99.size(), 2u);
    for (const std::string& line : p99) {
        const double seconds = ValueOf(line);
        EXPECT_TRUE(std::isfinite(seconds)) << line;
        EXPECT_GE(seconds, 0.0) << line;
        EXPECT_LE(seconds, 0.1) << line;  // the highest finite bucket
        std::printf("p99 lateness: %s\n", line.c_str());
    }
}

TEST_F(MetricsEndpoint, PromtoolFindsNoProblemInAScrapeWithTheTextFormatsType) {
    HttpClient client(s_portA);
    ASSERT_TRUE(client.Send(Get("/metrics")));
    const std::optional<Reply> reply = client.Read();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_NE(reply->head.find("\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\n"), std::string::npos)
        << reply->head;
    const vt::ChildResult check =
        vt::RunHostCommand("curl -sf http://127.0.0.1:" + std::to_string(s_portB) +
                               "/metrics >scrape.txt && promtool check metrics <scrape.txt",
                           Unix(""), Unix("metrics-promtool"));
    ASSERT_TRUE(check.finished);
    EXPECT_EQ(check.exitCode, 0u) << check.out << check.err;
    EXPECT_EQ(check.out + check.err, "");
    EXPECT_NE(vt::ReadFileBytes(s_treeA->Root() + "\\..\\scrape.txt").find("velmor_ticks_total"), std::string::npos);
}

TEST_F(MetricsEndpoint, HostileRequestsAreClosedAsDocumentedAndTheTicksGoOn) {
    const std::string before = Scrape(s_portB);
    const auto start = Clock::now();
    ASSERT_FALSE(before.empty());

    // A scraper's keep-alive connection, opened first: 404 and 405 keep it.
    HttpClient scraper(s_portB);
    ASSERT_TRUE(scraper.Send(Get("/other") + "DELETE /metrics HTTP/1.1\r\nHost: x\r\n\r\n" + Get("/metrics")));
    for (const int status : {404, 405, 200}) {
        const std::optional<Reply> reply = scraper.Read();
        ASSERT_TRUE(reply) << status;
        EXPECT_EQ(reply->status, status) << reply->head;
        if (status == 405) {
            EXPECT_NE(reply->head.find("\r\nAllow: GET\r\n"), std::string::npos);
        }
    }

    // Refused heads: the status, then the close; each from an address of its own,
    // so that each is logged whole.
    struct Case {
        const char* from;
        std::string bytes;
        int status;
        const char* why;
    };
    const Case cases[] = {
        {"127.0.0.11", "GET /" + std::string(60000, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n", 414,
         "414 request line longer than 8 KiB"},
        {"127.0.0.12", "GET /metrics HTTP/1.1\r\nHost: x\r\nX-Long: " + std::string(9000, 'b') + "\r\n\r\n", 431,
         "431 request head longer than 8 KiB"},
        {"127.0.0.13", "POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nhello", 413,
         "413 a request body is not accepted"},
        {"127.0.0.14", "G@T /metrics HTTP/1.1\r\nHost: x\r\n\r\n", 400, "400 bad method"},
    };
    for (const Case& c : cases) {
        HttpClient client(s_portB, c.from);
        ASSERT_TRUE(client.Send(c.bytes)) << c.why;
        const std::optional<Reply> reply = client.Read();
        ASSERT_TRUE(reply) << c.why;
        EXPECT_EQ(reply->status, c.status) << c.why;
        EXPECT_NE(reply->head.find("\r\nConnection: close\r\n"), std::string::npos) << c.why;
        EXPECT_TRUE(client.WaitClosed(5s)) << c.why;
        ExpectLogged(Peer(client) + "refused: " + c.why);
    }

    // Slow senders: one byte every 200 ms, from the start and after a first
    // request answered; each closed 5 s after its request began.
    HttpClient fresh(s_portB, "127.0.0.15");
    const auto freshSince = Clock::now();
    HttpClient answered(s_portB, "127.0.0.16");
    ASSERT_TRUE(answered.Send(Get("/metrics")));
    ASSERT_TRUE(answered.Read());
    const auto answeredSince = Clock::now();
    const std::string slow = Get("/metrics");
    std::optional<double> freshFor, answeredFor;
    for (std::size_t i = 0; i < slow.size() && !(freshFor && answeredFor); ++i) {
        if (!freshFor && !fresh.Send(slow.substr(i, 1))) freshFor = Seconds(Clock::now() - freshSince);
        if (!answeredFor && !answered.Send(slow.substr(i, 1))) answeredFor = Seconds(Clock::now() - answeredSince);
        ::Sleep(200);
        if (!freshFor && fresh.WaitClosed(1ms)) freshFor = Seconds(Clock::now() - freshSince);
        if (!answeredFor && answered.WaitClosed(1ms)) answeredFor = Seconds(Clock::now() - answeredSince);
    }
    ASSERT_TRUE(freshFor) << "the slow sender was not closed";
    ASSERT_TRUE(answeredFor) << "the slow sender after an answer was not closed";
    EXPECT_GE(*freshFor, 4.8);
    EXPECT_LT(*freshFor, 7.0);
    EXPECT_GE(*answeredFor, 4.8);
    EXPECT_LT(*answeredFor, 7.0);
    ExpectLogged(Peer(fresh) + "closed: no whole request within 5 s");
    ExpectLogged(Peer(answered) + "closed: no whole request within 5 s");

    // 1,000 connections from one address, in two bursts of 500 that send
    // nothing: the ones over the limit are refused at once, the rest closed
    // after 5 s; the scraper's connection is served all along.
    sockaddr_in local{}, server{};
    local.sin_family = server.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.20", &local.sin_addr);
    ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
    server.sin_port = htons(s_portB);
    int closed = 0;
    for (int burst = 0; burst < 2; ++burst) {
        std::vector<SOCKET> sockets;
        for (int i = 0; i < 500; ++i) {
            const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            ASSERT_NE(s, INVALID_SOCKET);
            u_long nonBlocking = 1;
            ::ioctlsocket(s, FIONBIO, &nonBlocking);
            ::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local);
            ::connect(s, reinterpret_cast<sockaddr*>(&server), sizeof server);  // completes meanwhile
            sockets.push_back(s);
        }
        ASSERT_TRUE(scraper.Send(Get("/metrics")));
        const std::optional<Reply> during = scraper.Read();
        ASSERT_TRUE(during);
        EXPECT_EQ(during->status, 200);
        const auto deadline = Clock::now() + 15s;
        std::vector<SOCKET> open = sockets;
        while (!open.empty() && Clock::now() < deadline) {
            std::erase_if(open, [&](SOCKET s) {
                char byte;
                const int n = ::recv(s, &byte, 1, 0);
                const int error = ::WSAGetLastError();
                if (n > 0 || (n < 0 && (error == WSAEWOULDBLOCK || error == WSAENOTCONN))) return false;
                ++closed;
                return true;
            });
            ::Sleep(50);
        }
        for (const SOCKET s : sockets) ::closesocket(s);
    }
    EXPECT_EQ(closed, 1000);
    ExpectLogged("INFO: Metrics endpoint: 127.0.0.20:");  // a prefix: the first refusal, whole

    // The scraper still served; the ticks kept their pace throughout.
    ASSERT_TRUE(scraper.Send(Get("/metrics")));
    const std::optional<Reply> after = scraper.Read();
    ASSERT_TRUE(after);
    const double seconds = Seconds(Clock::now() - start);
    const double rate = (Figure(after->body, "velmor_ticks_total") - Figure(before, "velmor_ticks_total")) / seconds;
    EXPECT_NEAR(rate, kTicksPerSecond, 2.0) << seconds << " s";
    std::printf("under hostile HTTP: %.2f ticks per second over %.1f s; slow senders closed after %.2f s and %.2f s\n",
                rate, seconds, *freshFor, *answeredFor);
}

// Last: both shells closed in order, and their log files.
TEST_F(MetricsEndpoint, ZTheCloseEndsTheEndpointAndTheLogStaysShort) {
    ASSERT_TRUE(s_shellA->Close());
    ASSERT_TRUE(s_shellB->Close());
    for (vt::ScratchTree* tree : {s_treeA, s_treeB}) {
        const std::vector<std::string> log = vt::SplitLines(tree->Read("System\\Velmor.log"));
        EXPECT_EQ(vt::CountPrefix(log, kMetricsListening), 1) << tree->Root();
        EXPECT_NE(vt::IndexOf(log, "INFO: Metrics endpoint closed"), -1) << tree->Root();
    }
    const std::vector<std::string> log = vt::SplitLines(s_treeB->Read("System\\Velmor.log"));
    for (const std::string& line : s_expected)
        EXPECT_NE(vt::IndexOfPrefix(log, line), -1) << "the log lacks: " << line;
    // The flood's refusals past the first, counted in one line.
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line.starts_with("INFO: Metrics endpoint: ... and ") &&
               line.find(" more refused connections from 127.0.0.20 in the last minute") != std::string::npos;
    }));
    // A thousand connections and the rest: a few dozen lines at most.
    EXPECT_LE(vt::CountPrefix(log, "INFO: Metrics endpoint: "), 30);
    EXPECT_EQ(vt::CountPrefix(log, "INFO: Metrics endpoint: 127.0.0.1:"), 0) << "a scrape was logged";
}

}  // namespace
