// The remote console of the real shell under Wine. One shell serves the
// RemoteConsole cases in order, as an operator's clients would meet it: three
// RCON clients from npm and the shell's own Linux client, then a raw client
// at the protocol's edges, the lock-out, the limits, a client that stops
// reading, and last the close with clients connected. The log file is whole
// only once the shell has ended, so the lines the cases expect in it are
// checked by the last case.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
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

constexpr char kPassword[] = "Remote-console-test-password";
constexpr char kWrongPassword[] = "Wrong-password-of-the-test";
constexpr std::int32_t kAuth = 3, kExec = 2, kAuthResponse = 2, kResponse = 0;

std::string Unix(const std::string& relative) { return std::string(VELMOR_SCRATCH_ROOT) + "/" + relative; }

// What the recording engine logs for "rec.logrepeat 1 COUNT LENGTH", as the
// reply carries it.
std::string RepeatReply(int count, std::size_t length) {
    std::string reply;
    for (int i = 0; i < count; ++i) {
        std::string text = std::to_string(i) + ' ';
        text.resize(length, 'x');
        reply += "INFO: " + text + "\n";
    }
    return reply;
}

class RemoteConsole : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_tree = new vt::ScratchTree("remote-console");
        s_tree->Write("System\\Velmor.ini", std::string("[RemoteConsole]\r\nPassword=") + kPassword +
                                                "\r\nPort=0\r\nMaxConnections=3\r\n");
        s_shell = new vt::ShellProcess(vt::StartIn(*s_tree));
        if (!s_shell->WaitEngineStarted()) return;
        s_port = vt::ListeningPort(*s_shell);
        // The engine's stop shows in the log, after the remote console's.
        s_shell->Command("rec.onexit rec.log 1 engine stopping");
    }
    static void TearDownTestSuite() {
        delete s_shell;
        delete s_tree;
    }
    void SetUp() override {
        ASSERT_NE(s_port, 0) << "no listening line in the pane";
        ASSERT_TRUE(s_shell->Running());
    }

    static std::string Peer(const vt::RconClient& client) {
        return "INFO: Remote console: " + client.Local() + " ";
    }
    // A line the log file must hold once the shell has ended.
    static void ExpectLogged(const std::string& line) { s_expected.push_back(line); }

    static vt::ScratchTree* s_tree;
    static vt::ShellProcess* s_shell;
    static std::uint16_t s_port;
    static std::vector<std::string> s_expected;
};

vt::ScratchTree* RemoteConsole::s_tree = nullptr;
vt::ShellProcess* RemoteConsole::s_shell = nullptr;
std::uint16_t RemoteConsole::s_port = 0;
std::vector<std::string> RemoteConsole::s_expected;

TEST_F(RemoteConsole, ClientsFromNpmSignInAndGetTheReplyAndAWrongPasswordIsRefused) {
    const std::string command = "node third_party_clients.js 127.0.0.1 " + std::to_string(s_port) +
                                " 'rec.log 1 hello from npm' 'INFO: hello from npm'";
    const vt::ChildResult run = vt::RunHostCommand(
        command, VELMOR_REMOTE_TEST_DIR, Unix("remote-console-npm"),
        {{"VELMOR_RCON_PASSWORD", kPassword}, {"VELMOR_RCON_WRONG_PASSWORD", kWrongPassword}}, 120s);
    ASSERT_TRUE(run.finished) << "the clients did not finish";
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err << "(tools/npm-clients.sh installs the clients)";
    EXPECT_EQ(run.out, "rcon-srcds: ok\nrcon-client: ok\nrcon: ok\nwrong password refused: ok\n") << run.err;
    EXPECT_EQ(s_shell->EngineJournal().Count("edsrvProcess 65535 0 \"rec.log 1 hello from npm\""), 3u);
}

TEST_F(RemoteConsole, TheLinuxClientPrintsTheWholeReplyAndSetsItsStatus) {
    const std::string client =
        "python3 " VELMOR_SOURCE_DIR "/tools/velmor-rcon 127.0.0.1 " + std::to_string(s_port);
    const vt::ChildResult split =
        vt::RunHostCommand(client + " rec.logrepeat 1 40 200", VELMOR_SOURCE_DIR, Unix("remote-console-cli"),
                           {{"VELMOR_RCON_PASSWORD", kPassword}});
    ASSERT_TRUE(split.finished);
    EXPECT_EQ(split.exitCode, 0u) << split.err;
    EXPECT_EQ(split.out, RepeatReply(40, 200));

    const vt::ChildResult quiet =
        vt::RunHostCommand(client + " rec.journal nothing logged", VELMOR_SOURCE_DIR,
                           Unix("remote-console-cli"), {{"VELMOR_RCON_PASSWORD", kPassword}});
    ASSERT_TRUE(quiet.finished);
    EXPECT_EQ(quiet.exitCode, 0u) << quiet.err;
    EXPECT_EQ(quiet.out, "");

    // A reply later than --timeout, and a port where nothing listens.
    const vt::ChildResult slow = vt::RunHostCommand(
        "python3 " VELMOR_SOURCE_DIR "/tools/velmor-rcon --timeout 0.5 127.0.0.1 " + std::to_string(s_port) +
            " rec.sleep 2000",
        VELMOR_SOURCE_DIR, Unix("remote-console-cli"), {{"VELMOR_RCON_PASSWORD", kPassword}});
    ASSERT_TRUE(slow.finished);
    EXPECT_EQ(slow.exitCode, 4u) << slow.err;
    const vt::ChildResult nobody =
        vt::RunHostCommand("python3 " VELMOR_SOURCE_DIR "/tools/velmor-rcon 127.0.0.1 1 rec.journal x",
                           VELMOR_SOURCE_DIR, Unix("remote-console-cli"), {{"VELMOR_RCON_PASSWORD", kPassword}});
    ASSERT_TRUE(nobody.finished);
    EXPECT_EQ(nobody.exitCode, 3u) << nobody.err;
}

TEST_F(RemoteConsole, SignInIsAnsweredOnceAndALongReplyComesSplitThenWholeThroughTheProbe) {
    vt::RconClient client(s_port);
    ASSERT_TRUE(client.Send(4242, kAuth, kPassword));
    const std::optional<vt::RconPacket> answer = client.Read();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->type, kAuthResponse);
    EXPECT_EQ(answer->id, 4242);
    EXPECT_EQ(answer->body, "");
    ExpectLogged(Peer(client) + "signed in");

    // The command and the probe in one go: the probe is answered after the
    // whole reply, and nothing came before the reply.
    ASSERT_TRUE(
        client.SendBytes(vt::RconBytes(7, kExec, "rec.logrepeat 1 40 200") + vt::RconBytes(8, kResponse, "")));
    std::string reply;
    std::vector<std::size_t> sizes;
    std::optional<vt::RconPacket> packet;
    while ((packet = client.Read()) && packet->id == 7) {
        EXPECT_EQ(packet->type, kResponse);
        reply += packet->body;
        sizes.push_back(packet->body.size());
    }
    EXPECT_EQ(reply, RepeatReply(40, 200));
    ASSERT_EQ(sizes.size(), 3u);
    EXPECT_EQ(sizes[0], 4096u);
    EXPECT_EQ(sizes[1], 4096u);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->id, 8);
    EXPECT_EQ(packet->type, kResponse);
    EXPECT_EQ(packet->body, "");
    packet = client.Read();
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->id, 8);
    EXPECT_EQ(packet->type, kResponse);
    EXPECT_EQ(packet->body, std::string("\0\1\0\0", 4));

    // A command that logs nothing gets one empty reply; the longest body runs.
    EXPECT_EQ(client.Command("rec.journal quiet", 9), "");
    const std::string longest = "rec.log 1 " + std::string(4096 - 10, 'y');
    EXPECT_EQ(client.Command(longest, 10), "INFO: " + std::string(255, 'y') + "\n");
}

TEST_F(RemoteConsole, NothingRunsBeforeSignIn) {
    vt::RconClient command(s_port);
    ASSERT_TRUE(command.Send(1, kExec, "rec.journal before sign-in"));
    EXPECT_TRUE(command.WaitClosed(5s));
    vt::RconClient probe(s_port);
    ASSERT_TRUE(probe.Send(1, kResponse, ""));
    EXPECT_TRUE(probe.WaitClosed(5s));
    ASSERT_TRUE(s_shell->Sync("after the unsigned"));
    EXPECT_FALSE(s_shell->EngineJournal().Contains("note before sign-in"));
    ExpectLogged(Peer(command) + "refused: a packet before signing in");
    // The second from the same address is counted, not logged whole.
    ExpectLogged("INFO: Remote console: ... and 1 more packets before signing in from 127.0.0.1 in the last minute");
}

TEST_F(RemoteConsole, MalformedPacketsCloseTheConnection) {
    auto header = [](std::int32_t size, std::int32_t id, std::int32_t type) {
        std::string bytes = vt::RconBytes(id, type, "");
        bytes.replace(0, 4, reinterpret_cast<const char*>(&size), 4);
        return bytes.substr(0, 12);
    };
    const std::pair<std::string, std::string> cases[] = {
        {header(9, 1, kExec) + std::string(5, '\0'), "a packet size of 9"},
        {header(4107, 1, kExec), "a packet size of 4107"},
        {header(-1, 1, kExec), "a packet size of -1"},
        {header(14, 1, kExec) + "abcdef", "a body not ended by NUL"},
        {header(14, 1, kExec) + "abcd\0z", "a body not ended by NUL"},
    };
    int n = 0;
    for (const auto& [bytes, why] : cases) {
        vt::RconClient client(s_port);
        ASSERT_TRUE(client.SignIn(kPassword)) << why;
        // A good command right behind the bad packet never runs.
        ASSERT_TRUE(client.SendBytes(
            bytes + vt::RconBytes(2, kExec, "rec.journal after malformed " + std::to_string(n))));
        EXPECT_TRUE(client.WaitClosed(5s)) << why;
        ExpectLogged(Peer(client) + "refused: malformed packet (" + why + ")");
        ++n;
    }
    ASSERT_TRUE(s_shell->Sync("after the malformed"));
    EXPECT_EQ(s_shell->EngineJournal().Count("note after malformed"), 0u);
}

TEST_F(RemoteConsole, FiveWrongPasswordsLockAnAddressOutAndLeaveOthersAlone) {
    for (int i = 0; i < 5; ++i) {
        vt::RconClient client(s_port, "127.0.0.2");
        ASSERT_TRUE(client.Send(i + 1, kAuth, kWrongPassword));
        const std::optional<vt::RconPacket> answer = client.Read();
        ASSERT_TRUE(answer) << i;
        EXPECT_EQ(answer->type, kAuthResponse);
        EXPECT_EQ(answer->id, -1);
        EXPECT_TRUE(client.WaitClosed(5s)) << i;
        if (i == 0) ExpectLogged(Peer(client) + "refused: wrong password");
    }
    ExpectLogged("INFO: Remote console: ... and 4 more wrong passwords from 127.0.0.2 in the last minute");
    vt::RconClient locked(s_port, "127.0.0.2");
    locked.Send(1, kAuth, kPassword);  // may already fail: the connection was closed at once
    EXPECT_FALSE(locked.Read(3s)) << "a locked-out address got an answer";
    EXPECT_TRUE(locked.WaitClosed(5s));
    ExpectLogged(Peer(locked) + "refused: locked out");

    vt::RconClient other(s_port);
    ASSERT_TRUE(other.SignIn(kPassword));
    EXPECT_EQ(other.Command("rec.log 1 still served"), "INFO: still served\n");
    ExpectLogged("INFO: Remote console: 127.0.0.2 locked out for 5 minutes after 5 wrong passwords");
}

TEST_F(RemoteConsole, AConnectionOverTheMostIsClosedAtOnce) {
    std::vector<std::unique_ptr<vt::RconClient>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<vt::RconClient>(s_port));
        ASSERT_TRUE(clients.back()->SignIn(kPassword)) << i;
    }
    vt::RconClient fourth(s_port);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(fourth.WaitClosed(5s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    ExpectLogged(Peer(fourth) + "refused: already 3 connections");

    // Once one goes, a new one is served.
    clients.pop_back();
    EXPECT_TRUE(vt::WaitUntil(
        [&] {
            vt::RconClient again(s_port);
            return again.SignIn(kPassword) && again.Command("rec.log 1 room again") == "INFO: room again\n";
        },
        10s));
}

TEST_F(RemoteConsole, AClientThatStopsReadingIsClosedWhileAnotherIsServedAndTheTicksGoOn) {
    vt::RconClient idle(s_port);  // never signs in
    const auto idleSince = std::chrono::steady_clock::now();
    vt::RconClient silent(s_port, "127.0.0.1", 4096);
    ASSERT_TRUE(silent.SignIn(kPassword));
    vt::RconClient served(s_port);
    ASSERT_TRUE(served.SignIn(kPassword));
    vt::Journal& journal = s_shell->EngineJournal();
    const std::size_t ticksBefore = journal.Count("pServerTick ");
    const auto start = std::chrono::steady_clock::now();

    // About 500 KB of reply each, never read: the silent client is closed
    // once 1 MiB waits for it. Its sends fail from then on.
    bool closed = false;
    int served_count = 0;
    for (int i = 0; i < 200 && !closed; ++i) {
        closed = !silent.Send(100 + i, kExec, "rec.logrepeat 1 1900 250");
        const std::string text = "served " + std::to_string(i);
        const auto sent = std::chrono::steady_clock::now();
        EXPECT_EQ(served.Command("rec.log 1 " + text, 1000 + i), "INFO: " + text + "\n") << i;
        EXPECT_LT(std::chrono::steady_clock::now() - sent, 10s) << i;
        ++served_count;
        ::Sleep(100);
    }
    EXPECT_TRUE(closed) << "the silent client was never closed";
    ExpectLogged(Peer(silent) + "closed: over 1048576 bytes unsent (the client does not read)");
    ExpectLogged(Peer(silent) + "signed out");

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t ticks = journal.Count("pServerTick ") - ticksBefore;
    EXPECT_GE(static_cast<double>(ticks), seconds * 35.714 * 0.25) << ticks << " ticks in " << seconds << " s";

    // The connection that never signed in is closed after 10 s.
    EXPECT_TRUE(idle.WaitClosed(20s));
    const double idleFor = std::chrono::duration<double>(std::chrono::steady_clock::now() - idleSince).count();
    EXPECT_GE(idleFor, 9.5);
    EXPECT_LT(idleFor, 16.0);
    ExpectLogged(Peer(idle) + "closed: not signed in within 10 s");
}

// Last: the close sequence with clients connected, one command running and
// one waiting behind it; the running one runs the message loop inside the
// engine, where the close request arrives. Then the log file, whole.
TEST_F(RemoteConsole, ZTheCloseEndsEveryConnectionAndRunsNoWaitingCommand) {
    // Read first: reading the pane waits for the console's thread.
    const std::string pane = s_shell->PaneText();
    vt::RconClient running(s_port);
    ASSERT_TRUE(running.SignIn(kPassword));
    vt::RconClient waiting(s_port);
    ASSERT_TRUE(waiting.SignIn(kPassword));
    vt::RconClient unsigned_(s_port);
    vt::Journal& journal = s_shell->EngineJournal();
    ASSERT_TRUE(running.Send(2, kExec, "rec.pump 1500"));
    ASSERT_TRUE(journal.WaitFor("edsrvProcess 65535 0 \"rec.pump 1500\""));
    ASSERT_TRUE(waiting.Send(2, kExec, "rec.journal never run"));
    ::Sleep(300);  // it waits in the queue behind the sleep

    // Sent, so handled inside the running command.
    EXPECT_TRUE(s_shell->MenuCommand(ID_FILE_EXIT, 20s));
    EXPECT_TRUE(s_shell->WaitExit(20s)) << "the shell did not end";
    EXPECT_TRUE(running.WaitClosed(5s));
    EXPECT_TRUE(waiting.WaitClosed(5s));
    EXPECT_TRUE(unsigned_.WaitClosed(5s));
    EXPECT_FALSE(journal.Contains("note never run"));
    // The engine stops once the command has returned, and the shell ends cleanly.
    const std::vector<std::string> calls = journal.Lines();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "pExitAll");
    const auto pumped = std::find(calls.begin(), calls.end(), "note pumped");
    EXPECT_NE(pumped, calls.end()) << "the command did not return";
    EXPECT_LT(pumped - calls.begin(), std::find(calls.begin(), calls.end(), "pExitAll") - calls.begin());
    EXPECT_EQ(s_shell->ExitCode(), 0u);

    const std::string file = s_tree->Read("System\\Velmor.log");
    const std::vector<std::string> log = vt::SplitLines(file);
    for (const std::string& line : s_expected)
        EXPECT_NE(vt::IndexOf(log, line), -1) << "the log lacks: " << line;
    EXPECT_EQ(vt::CountPrefix(log, "INFO: Remote console listening on 127.0.0.1:"), 1);
    EXPECT_EQ(vt::CountPrefix(log, "INFO: Remote console: 127.0.0.2 locked out"), 1);
    const int closedAt = vt::IndexOf(log, "INFO: Remote console closed");
    EXPECT_NE(closedAt, -1);
    EXPECT_LT(closedAt, vt::IndexOf(log, "INFO: engine stopping"));
    const int signedOut =
        vt::IndexOf(log, "INFO: Remote console: " + waiting.Local() + " signed out (1 command dropped, not run)");
    EXPECT_NE(signedOut, -1);
    EXPECT_LT(signedOut, closedAt);
    for (const char* secret : {kPassword, kWrongPassword}) {
        EXPECT_EQ(file.find(secret), std::string::npos) << "the log shows " << secret;
        EXPECT_EQ(pane.find(secret), std::string::npos) << "the pane shows " << secret;
    }
}

// Wrong settings leave the remote console and the metrics endpoint off with
// one line each, and the shell goes on.
TEST(RemoteConsoleSettings, AnUnusablePortLeavesItOffWithOneLine) {
    vt::ScratchTree tree("remote-console-wrong");
    tree.Write("System\\Velmor.ini", std::string("[RemoteConsole]\r\nPassword=") + kPassword +
                                          "\r\nPort=70000\r\n[Metrics]\r\nPort=abc\r\n");
    vt::ShellProcess shell(vt::StartIn(tree));
    ASSERT_TRUE(shell.WaitEngineStarted());
    ASSERT_TRUE(shell.TryCommand("rec.log 1 the shell goes on"));
    const std::vector<std::string> pane = vt::SplitCrLf(shell.PaneText());
    EXPECT_NE(vt::IndexOf(pane, "INFO: the shell goes on "), -1);
    EXPECT_EQ(vt::CountPrefix(pane, "INFO: Remote console"), 1);
    EXPECT_NE(vt::IndexOf(pane, "INFO: Remote console off: Port \"70000\" is not a port number (0 to 65535) "),
              -1);
    EXPECT_EQ(vt::CountPrefix(pane, "INFO: Metrics endpoint"), 1);
    EXPECT_NE(vt::IndexOf(pane, "INFO: Metrics endpoint off: Port \"abc\" is not a port number (0 to 65535) "), -1);
}

}  // namespace
