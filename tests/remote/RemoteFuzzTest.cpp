// A seeded mutation fuzzer against the real shell's remote console and its
// metrics endpoint. Its corpus is valid sessions; its mutations are bit
// flips, size fields that lie (huge and negative ones too; for HTTP, runs
// about as long as a request head may be), truncation, a split at every byte
// and many sessions in one send. Over 20,000 RCON sessions come from three
// addresses that do not know the password, a few from one that does, and
// 3,000 HTTP sessions from a fourth. Afterwards the shell runs with its ticks
// kept, the administrator gets in, a scrape is answered, the log grew
// little, and the memory is where it was. The seed is printed, and
// VELMOR_FUZZ_SEED repeats a run.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "RconClient.h"
#include "ScratchTree.h"
#include "ShellProcess.h"
#include "TextLines.h"
#include "resource.h"

namespace {

using namespace std::chrono_literals;

constexpr char kPassword[] = "Remote-fuzz-test-password";
constexpr std::int32_t kAuth = 3, kExec = 2, kResponse = 0;
constexpr int kHostileSessions = 6800;  // from each of three addresses
constexpr int kSignedInSessions = 12;
constexpr int kHttpSessions = 3000;

std::int32_t SizeAt(const std::string& bytes, std::size_t at) {
    std::int32_t size;
    std::memcpy(&size, bytes.data() + at, 4);
    return size;
}

// The valid sessions, after the sign-in.
std::vector<std::string> Corpus() {
    using vt::RconBytes;
    return {
        RconBytes(2, kExec, "rec.journal fuzz"),
        RconBytes(2, kExec, "rec.journal fuzz") + RconBytes(3, kResponse, ""),
        RconBytes(4, kResponse, ""),
        RconBytes(5, kExec, "rec.journal fuzz") + RconBytes(6, kExec, "rec.journal fuzz again"),
        RconBytes(7, kResponse, "") + RconBytes(8, kResponse, "") + RconBytes(9, kExec, ""),
    };
}

// Valid HTTP sessions: requests alone and several on one connection.
std::vector<std::string> HttpCorpus() {
    return {
        "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
        "GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
        "GET /metrics?x=1 HTTP/1.0\r\n\r\n",
        "GET /other HTTP/1.1\r\nHost: x\r\n\r\nHEAD /metrics HTTP/1.1\r\nHost: x\r\n\r\n",
        "GET /metrics HTTP/1.1\r\nHost: x\r\nAccept: text/plain\r\nUser-Agent: fuzz\r\n\r\n"
        "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n",
        "POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n",
    };
}

class Mutator {
public:
    explicit Mutator(unsigned seed) : m_random(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    void Mutate(std::string& bytes) {
        for (int count = 1 + Below(3); count > 0 && !bytes.empty(); --count) {
            switch (Below(5)) {
            case 0:  // a bit flip
                bytes[static_cast<std::size_t>(Below(static_cast<int>(bytes.size())))] ^=
                    static_cast<char>(1 << Below(8));
                break;
            case 1: {  // a size field that lies, huge and negative ones among them
                static constexpr std::int32_t kLies[] = {0, 1, 9, 10, 4106, 4107, 65536, INT32_MAX, -1, INT32_MIN};
                const std::vector<std::size_t> starts = FrameStarts(bytes);
                const std::size_t at = starts[static_cast<std::size_t>(Below(static_cast<int>(starts.size())))];
                if (at + 4 > bytes.size()) break;
                const std::int32_t lie = Below(2) ? kLies[Below(10)] : SizeAt(bytes, at) + Below(9) - 4;
                std::memcpy(bytes.data() + at, &lie, 4);
                break;
            }
            case 2:  // truncation
                bytes.resize(static_cast<std::size_t>(Below(static_cast<int>(bytes.size()))));
                break;
            case 3:  // a byte that is not the protocol's
                bytes.insert(bytes.begin() + Below(static_cast<int>(bytes.size()) + 1), static_cast<char>(Below(256)));
                break;
            default:  // more of the same in one send
                bytes += bytes.substr(0, static_cast<std::size_t>(Below(static_cast<int>(bytes.size()) + 1)));
                break;
            }
        }
    }

    // The same for an HTTP request head, where runs of one character about
    // as long as a head may be stand for the size fields that lie.
    void MutateHead(std::string& bytes) {
        for (int count = 1 + Below(3); count > 0 && !bytes.empty(); --count) {
            switch (Below(5)) {
            case 0:
                bytes[static_cast<std::size_t>(Below(static_cast<int>(bytes.size())))] ^=
                    static_cast<char>(1 << Below(8));
                break;
            case 1: {
                static constexpr char kRunOf[] = "a :/\r\n\t%";
                const int length = Below(2) ? 8192 - Below(64) : 8192 + Below(64);
                bytes.insert(static_cast<std::size_t>(Below(static_cast<int>(bytes.size()) + 1)),
                             static_cast<std::size_t>(length), kRunOf[Below(sizeof kRunOf - 1)]);
                break;
            }
            case 2:
                bytes.resize(static_cast<std::size_t>(Below(static_cast<int>(bytes.size()))));
                break;
            case 3:
                bytes.insert(bytes.begin() + Below(static_cast<int>(bytes.size()) + 1), static_cast<char>(Below(256)));
                break;
            default:
                bytes += bytes.substr(0, static_cast<std::size_t>(Below(static_cast<int>(bytes.size()) + 1)));
                break;
            }
        }
    }

    // A wrong password locks its address out and ends what this fuzzer
    // reaches (the lock-out has tests of its own): packets that would be a
    // sign-in become probes.
    static void NoSignIn(std::string& bytes) {
        for (const std::size_t at : FrameStarts(bytes))
            if (at + 12 <= bytes.size() && SizeAt(bytes, at + 8) == kAuth) bytes[at + 8] = static_cast<char>(kResponse);
    }

private:
    // Where packets start, by the size fields as the shell reads them.
    static std::vector<std::size_t> FrameStarts(const std::string& bytes) {
        std::vector<std::size_t> starts{0};
        for (std::size_t at = 0; at + 4 <= bytes.size();) {
            const std::int32_t size = SizeAt(bytes, at);
            if (size < 10 || size > 4106) break;
            at += 4 + static_cast<std::size_t>(size);
            if (at < bytes.size()) starts.push_back(at);
        }
        return starts;
    }

    std::mt19937 m_random;
};

// One session: connects from `from`, sends `bytes` whole or a byte per send,
// says it is done and waits for the shell to close.
void Session(std::uint16_t port, const char* from, const std::string& bytes, bool byteBySend) {
    vt::RconClient client(port, from);
    if (!client.Connected()) return;
    if (byteBySend) {
        for (const char byte : bytes)
            if (!client.SendBytes(std::string(1, byte))) break;
    } else {
        client.SendBytes(bytes);
    }
    // The destructor says it is done and waits for the close.
}

std::vector<std::string> CrashDumps(const vt::ScratchTree& tree) {
    std::vector<std::string> dumps;
    WIN32_FIND_DATAA found;
    const HANDLE search = ::FindFirstFileA((tree.System() + "\\*.dmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return dumps;
    do dumps.push_back(found.cFileName);
    while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return dumps;
}

TEST(RemoteFuzz, TwentyThousandMutatedSessionsLeaveTheShellAsItWas) {
    const char* seedText = std::getenv("VELMOR_FUZZ_SEED");
    const unsigned seed = seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10)) : 2828;
    std::printf("fuzz seed %u (VELMOR_FUZZ_SEED repeats it)\n", seed);

    vt::ScratchTree tree("remote-fuzz");
    tree.Write("System\\Velmor.ini",
               std::string("[RemoteConsole]\r\nPassword=") + kPassword +
                   "\r\nPort=0\r\nIdleMinutes=1\r\n[Metrics]\r\nPort=0\r\n");
    vt::ShellProcess shell(vt::StartIn(tree));
    ASSERT_TRUE(shell.WaitEngineStarted());
    const std::uint16_t port = vt::ListeningPort(shell);
    ASSERT_NE(port, 0);
    const std::uint16_t metricsPort = vt::ListeningPort(shell, 30s, "INFO: Metrics endpoint listening on 127.0.0.1:");
    ASSERT_NE(metricsPort, 0);
    vt::RconClient idle(port);  // signed in, then silent: closed after a minute
    ASSERT_TRUE(idle.SignIn(kPassword));
    const auto idleSince = std::chrono::steady_clock::now();

    const std::vector<std::string> corpus = Corpus();
    auto hostile = [&](const char* from, unsigned threadSeed, int sessions) {
        Mutator mutator(threadSeed);
        for (int i = 0; i < sessions; ++i) {
            std::string bytes = corpus[static_cast<std::size_t>(mutator.Below(static_cast<int>(corpus.size())))];
            mutator.Mutate(bytes);
            Mutator::NoSignIn(bytes);
            Session(port, from, bytes, mutator.Below(20) == 0);
        }
    };
    // Warm-up, so that the memory compared is that of a console in use.
    hostile("127.0.0.21", seed, 300);
    ASSERT_TRUE(shell.TryCommand("rec.log 1 fuzz begins"));
    const vt::MemorySample before = shell.Memory();
    vt::Journal& journal = shell.EngineJournal();
    journal.Poll();
    const std::size_t ticksBefore = journal.TickTimes().size();

    std::vector<std::thread> attackers;
    const char* addresses[] = {"127.0.0.21", "127.0.0.22", "127.0.0.23"};
    for (unsigned a = 0; a < 3; ++a)
        attackers.emplace_back(hostile, addresses[a], seed * 4 + a + 1, kHostileSessions);
    attackers.emplace_back([&] {
        const std::vector<std::string> heads = HttpCorpus();
        Mutator mutator(seed * 4 + 5);
        for (int i = 0; i < kHttpSessions; ++i) {
            std::string bytes = heads[static_cast<std::size_t>(mutator.Below(static_cast<int>(heads.size())))];
            mutator.MutateHead(bytes);
            Session(metricsPort, "127.0.0.24", bytes, mutator.Below(20) == 0);
        }
    });
    // Meanwhile a few sessions that sign in and then go wrong.
    Mutator mutator(seed * 4 + 9);
    for (int i = 0; i < kSignedInSessions; ++i) {
        std::string bytes = corpus[static_cast<std::size_t>(i) % corpus.size()];
        mutator.Mutate(bytes);
        Mutator::NoSignIn(bytes);
        Session(port, "127.0.0.1", vt::RconBytes(1, kAuth, kPassword) + bytes, false);
        ::Sleep(1000);
    }
    for (std::thread& attacker : attackers) attacker.join();

    // The idle client is closed after its minute.
    EXPECT_TRUE(idle.WaitClosed(90s));
    EXPECT_GE(std::chrono::steady_clock::now() - idleSince, 59s);

    ASSERT_TRUE(shell.Running());
    EXPECT_EQ(CrashDumps(tree), std::vector<std::string>{});
    vt::RconClient admin(port);
    EXPECT_TRUE(admin.SignIn(kPassword));
    EXPECT_EQ(admin.Command("rec.journal admin after the fuzz"), "");
    const vt::ChildResult scrape = vt::RunHostCommand(
        "curl -s -o /dev/null -w '%{http_code}' http://127.0.0.1:" + std::to_string(metricsPort) + "/metrics", "/",
        std::string(VELMOR_SCRATCH_ROOT) + "/remote-fuzz-scrape");
    EXPECT_EQ(scrape.out, "200") << "a scrape after the fuzz: " << scrape.err;
    const vt::MemorySample after = shell.Memory();
    EXPECT_LE(after.privateKiB - before.privateKiB, 1024.0)
        << before.privateKiB << " KiB before, " << after.privateKiB << " KiB after";

    // The tick rate in every 10 s window of the run.
    journal.Poll();
    const std::vector<double>& ticks = journal.TickTimes();
    double slowest = 1e9;
    for (std::size_t first = ticksBefore; first < ticks.size();) {
        std::size_t last = first;
        while (last + 1 < ticks.size() && ticks[last + 1] - ticks[first] <= 10e6) ++last;
        if (ticks[last] - ticks[first] < 9.9e6) break;  // the last part window
        slowest = std::min(slowest, static_cast<double>(last - first) / ((ticks[last] - ticks[first]) / 1e6));
        first = last;
    }
    EXPECT_GE(slowest, 35.5) << "ticks per second in the slowest 10 s window";

    ASSERT_TRUE(shell.Close());
    const std::vector<std::string> log = vt::SplitLines(tree.Read("System\\Velmor.log"));
    const int begins = vt::IndexOf(log, "INFO: fuzz begins");
    // Up to the close, whose counts of refusals come last.
    const int closed = vt::IndexOf(log, "INFO: Remote console closed");
    ASSERT_NE(begins, -1);
    ASSERT_NE(closed, -1);
    const int metricsLines = vt::CountPrefix(log, "INFO: Metrics endpoint: ");
    EXPECT_LE(closed - begins - 1 - metricsLines, 100) << "lines the RCON fuzz added to the log";
    EXPECT_LE(metricsLines, 60) << "lines the HTTP fuzz added to the log";
    EXPECT_NE(vt::IndexOf(log, "INFO: Remote console: " + idle.Local() + " closed: nothing heard for 1 minute"),
              -1);
}

}  // namespace
