// The remote console of the real shell under Wine against hostile clients,
// with the default limits (8 connections): bursts of junk connections,
// slots held by one address, brute force from many addresses, a client that
// floods, commands queued by connections that close; the administrator must
// get in through all of it, and the log must stay short. One shell serves the
// cases in order; the last one closes it while a client floods, then reads
// the log file.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "RconClient.h"
#include "ScratchTree.h"
#include "ShellProcess.h"
#include "TextLines.h"
#include "Wait.h"
#include "resource.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr char kPassword[] = "Remote-attack-test-password";
constexpr std::int32_t kAuth = 3, kExec = 2, kResponse = 0;

std::string Unix(const std::string& relative) { return std::string(VELMOR_SCRATCH_ROOT) + "/" + relative; }

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Connections in bursts from `from`, each sending four zero bytes (a packet
// size of 0) and closing at once.
void JunkBurst(std::uint16_t port, const char* from, int count) {
    sockaddr_in local{}, server{};
    local.sin_family = server.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &local.sin_addr);
    ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
    server.sin_port = htons(port);
    std::vector<SOCKET> sockets;
    for (int i = 0; i < count; ++i) {
        const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET) continue;
        u_long nonBlocking = 1;
        ::ioctlsocket(s, FIONBIO, &nonBlocking);
        ::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local);
        ::connect(s, reinterpret_cast<sockaddr*>(&server), sizeof server);  // completes meanwhile
        sockets.push_back(s);
    }
    ::Sleep(30);
    for (const SOCKET s : sockets) {
        ::send(s, "\0\0\0\0", 4, 0);
        ::closesocket(s);
    }
}

// The shell's side of its connections in `state`, as Linux's ss shows them.
std::string ShellSockets(std::uint16_t port, const char* state) {
    const vt::ChildResult run = vt::RunHostCommand(
        "ss -tnoH state " + std::string(state) + " '( sport = :" + std::to_string(port) + " )'", "/",
        Unix("remote-attack-ss"));
    return run.out;
}

class RemoteAttack : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_tree = new vt::ScratchTree("remote-attack");
        s_tree->Write("System\\Velmor.ini",
                      std::string("[RemoteConsole]\r\nPassword=") + kPassword + "\r\nPort=0\r\n");
        s_shell = new vt::ShellProcess(vt::StartIn(*s_tree));
        if (!s_shell->WaitEngineStarted()) return;
        s_port = vt::ListeningPort(*s_shell);
    }
    static void TearDownTestSuite() {
        delete s_shell;
        delete s_tree;
    }
    void SetUp() override {
        ASSERT_NE(s_port, 0) << "no listening line in the pane";
        ASSERT_TRUE(s_shell->Running());
    }

    // The administrator, from 127.0.0.1: signs in and runs a command; true
    // when it all took less than `within`.
    static bool Admin(std::chrono::milliseconds within, const std::string& text = "rec.journal admin") {
        const auto start = Clock::now();
        vt::RconClient admin(s_port);
        const bool done = admin.SignIn(kPassword) && admin.Command(text, 7) == "";
        return done && Clock::now() - start < within;
    }

    static vt::ScratchTree* s_tree;
    static vt::ShellProcess* s_shell;
    static std::uint16_t s_port;
};

vt::ScratchTree* RemoteAttack::s_tree = nullptr;
vt::ShellProcess* RemoteAttack::s_shell = nullptr;
std::uint16_t RemoteAttack::s_port = 0;

TEST_F(RemoteAttack, JunkConnectionsInBurstsLeaveTheListenerServing) {
    ASSERT_TRUE(Admin(5s));  // 127.0.0.1 has signed in before
    for (int burst = 0; burst < 80; ++burst) JunkBurst(s_port, burst < 40 ? "127.0.0.4" : "127.0.0.5", 250);
    EXPECT_TRUE(Admin(1s)) << "the administrator was not served at once after 20,000 junk connections";
    EXPECT_TRUE(vt::WaitUntil([] { return ShellSockets(s_port, "close-wait").empty(); }, 10s))
        << ShellSockets(s_port, "close-wait");
}

TEST_F(RemoteAttack, OneAddressHoldingWhatItMayLeavesRoomForTheAdministrator) {
    std::vector<std::unique_ptr<vt::RconClient>> held;
    int slow = 0;
    for (int round = 0; round < 20; ++round) {
        // It holds and reopens as many silent connections as it may.
        std::erase_if(held, [](const auto& client) { return !client->Connected() || client->WaitClosed(0ms); });
        while (held.size() < 8) held.push_back(std::make_unique<vt::RconClient>(s_port, "127.0.0.9"));
        if (!Admin(1s)) ++slow;
    }
    EXPECT_EQ(slow, 0) << "of 20 tries";

    // A signed-in connection carries keep-alive probes.
    vt::RconClient admin(s_port);
    ASSERT_TRUE(admin.SignIn(kPassword));
    const std::string sockets = ShellSockets(s_port, "established");
    EXPECT_NE(sockets.find(admin.Local()), std::string::npos) << sockets;
    EXPECT_NE(sockets.find("keepalive"), std::string::npos) << sockets;
}

TEST_F(RemoteAttack, BruteForceFromManyAddressesIsBoundedOverAll) {
    int answered = 0;
    for (int a = 0; a < 1090; ++a) {
        const std::string from = "127.1." + std::to_string(a / 250) + '.' + std::to_string(a % 250 + 1);
        for (int i = 0; i < 6; ++i) {
            vt::RconClient client(s_port, from.c_str());
            if (!client.Send(1, kAuth, "Wrong-password-of-the-attacker")) continue;
            const std::optional<vt::RconPacket> answer = client.Read(5s);
            if (answer && answer->id == -1) ++answered;
        }
    }
    EXPECT_EQ(answered, 60) << "wrong passwords answered";
    EXPECT_TRUE(Admin(1s)) << "an address that signed in before is let in through the pause";
}

TEST_F(RemoteAttack, ACommandOfAConnectionThatClosedIsDroppedAndTheQueueIsBounded) {
    vt::RconClient busy(s_port);
    ASSERT_TRUE(busy.SignIn(kPassword));
    ASSERT_TRUE(busy.Send(1, kExec, "rec.sleep 2000"));
    ASSERT_TRUE(s_shell->EngineJournal().WaitFor("edsrvProcess 65535 0 \"rec.sleep 2000\""));
    for (int i = 0; i < 30; ++i) {
        vt::RconClient looping(s_port);
        ASSERT_TRUE(looping.SignIn(kPassword)) << i;
        ASSERT_TRUE(looping.Send(2, kExec, "rec.journal queued " + std::to_string(i))) << i;
    }
    EXPECT_TRUE(busy.Read(10s));
    EXPECT_TRUE(Admin(5s, "rec.journal after the queue"));
    EXPECT_EQ(s_shell->EngineJournal().Count("note queued"), 0u);
}

TEST_F(RemoteAttack, AFloodingClientLeavesTheOthersServed) {
    // Signed in, it streams empty probes and reads the answers.
    vt::RconClient flood(s_port);
    ASSERT_TRUE(flood.SignIn(kPassword));
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        std::string probes;
        for (int i = 0; i < 1000; ++i) probes += vt::RconBytes(9, kResponse, "");
        while (!stop && flood.SendBytes(probes)) {
        }
    });
    std::thread reader([&] {
        while (!stop && flood.Read(2s)) {
        }
    });
    ::Sleep(500);
    int late = 0;
    for (int i = 0; i < 3; ++i) late += !Admin(1s);
    stop = true;
    reader.join();
    sender.join();
    EXPECT_EQ(late, 0) << "of 3 sign-ins while the flood ran";
}

// Last: the close while a client floods; then the log file, whole.
TEST_F(RemoteAttack, ZTheCloseDuringAFloodIsQuickAndTheLogStayedShort) {
    vt::RconClient flood(s_port);
    ASSERT_TRUE(flood.SignIn(kPassword));
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        std::string probes;
        for (int i = 0; i < 1000; ++i) probes += vt::RconBytes(9, kResponse, "");
        while (!stop && flood.SendBytes(probes)) {
        }
    });
    std::thread reader([&] {
        while (!stop && flood.Read(2s)) {
        }
    });
    ::Sleep(500);
    const auto start = Clock::now();
    s_shell->MenuCommand(ID_FILE_EXIT, 20s);
    EXPECT_TRUE(s_shell->WaitExit(20s));
    EXPECT_LT(Seconds(Clock::now() - start), 2.0) << "the close took this long";
    stop = true;
    reader.join();
    sender.join();

    const std::vector<std::string> log = vt::SplitLines(s_tree->Read("System\\Velmor.log"));
    auto count = [&](const std::string& text) {
        return std::count_if(log.begin(), log.end(),
                             [&](const std::string& line) { return line.find(text) != std::string::npos; });
    };
    // 10,000 junk connections from each of two addresses.
    EXPECT_LE(count(" 127.0.0.4"), 20);
    EXPECT_LE(count(" 127.0.0.5"), 20);
    EXPECT_GE(count("more malformed packets from 127.0.0.4 in the last minute"), 1);
    // Brute force: the pause once, every line of it bounded.
    EXPECT_EQ(count("wrong passwords within a minute from all addresses"), 1);
    EXPECT_LE(count(" 127.1."), 25);
    // The queued commands, each dropped with its connection.
    EXPECT_EQ(count("signed out (1 command dropped, not run)"), 30);
}

}  // namespace
