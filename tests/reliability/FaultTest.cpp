// Faults the shell lives through: a client killed in the middle of its
// calls, the console closed while clients are calling, an engine that logs
// from inside its calls and its ticks, that stalls a tick for two seconds,
// that opens and closes the log itself on every tick. And the one it does
// not live through, a fault inside the engine: the crash handler's CRITICAL
// line and the lines just before the crash are in the log file.
//
// Shells that end by a fault are started directly, never by OLE: under Wine
// an OLE-started shell that ends without revoking its class leaves a dead
// registration behind, and every later creation in the prefix fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "EdServerClient.h"
#include "OleShell.h"
#include "RconClient.h"
#include "ReliabilitySupport.h"
#include "ScratchTree.h"

namespace {

using vt::Variant;

// How long a faulting shell may take to end: past the shell's own minute for
// the dump, whose writing under Wine slows down many times on a busy host.
constexpr std::chrono::seconds kCrashEnd(90);

// Waits until the journal holds at least `count` calls of the client.
bool WaitCalls(vt::Journal& journal, int client, std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (rel::ClientJournalLines(journal.Lines(), client).size() >= count) return true;
        ::Sleep(50);
    }
    return false;
}

bool EngineCall(const std::string& line) {
    return line.rfind("edsrvProcess", 0) == 0 || line.rfind("linktopicProcessClient", 0) == 0;
}

TEST(Faults, AClientKilledInTheMiddleLeavesTheOthersServed) {
    vt::OleShell shell("rel-killed-client");
    vt::ClientDirectory directory(shell.Tree());
    vt::EdServerClient client;
    ASSERT_TRUE(client.Created()) << std::hex << client.CreateResult();
    vt::Journal& journal = shell.EngineJournal();
    Variant hook(L"rec.ontick rec.logrepeat 1 2 30");
    ASSERT_EQ(client.Call(3, {&hook}), S_OK);

    const int kVictim = 9, kCalls = 3000;
    rel::LoadClientProcess victim(kVictim, 1000000, shell.Tree().Root());
    std::vector<std::unique_ptr<rel::LoadClientProcess>> others;
    for (int c = 1; c <= 3; ++c)
        others.push_back(std::make_unique<rel::LoadClientProcess>(c, kCalls, shell.Tree().Root()));
    ASSERT_TRUE(WaitCalls(journal, kVictim, 500));
    victim.Kill();

    // The others finish, every call of theirs once and in order.
    for (auto& other : others) {
        ASSERT_TRUE(other->Wait(std::chrono::seconds(120))) << "client " << other->Client();
        EXPECT_EQ(other->ExitCode(), 0u) << other->Output();
    }
    const std::vector<std::string> lines = journal.Lines();
    for (int c = 1; c <= 3; ++c)
        EXPECT_TRUE(rel::SameSequence(rel::ClientJournalLines(lines, c),
                                      rel::ExpectedJournalLines(c, kCalls)))
            << "client " << c;
    // The dead client's calls are a clean prefix of its sequence.
    const std::vector<std::string> dead = rel::ClientJournalLines(lines, kVictim);
    EXPECT_GE(dead.size(), 500u);
    EXPECT_TRUE(rel::SameSequence(dead, rel::ExpectedJournalLines(kVictim, static_cast<int>(dead.size()))));

    // No rundown under Wine: the dead client's object is never released, so
    // the application lock stays raised. The shell serves on all the same,
    // and its own close still ends it.
    ::Sleep(2000);
    Variant after(L"rec.journal after the kill");
    EXPECT_EQ(client.Call(3, {&after}), S_OK);
    EXPECT_TRUE(journal.Contains("note after the kill"));
    client.Release();
    ASSERT_TRUE(shell.CloseConsole());
    EXPECT_TRUE(journal.Contains("pExitAll"));
    const std::vector<std::string> log = vt::SplitLines(shell.LogText());
    for (int c = 1; c <= 3; ++c)
        EXPECT_TRUE(rel::SameSequence(rel::ClientLogLines(log, c), rel::ExpectedLogLines(c, kCalls)))
            << "client " << c;
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().rfind("INFO: Log file closed, ", 0), 0u) << log.back();
}

TEST(Faults, TheConsoleClosedWhileClientsCallEndsTheShellCleanly) {
    vt::OleShell shell("rel-close-under-load");
    vt::ClientDirectory directory(shell.Tree());
    vt::EdServerClient client;
    ASSERT_TRUE(client.Created()) << std::hex << client.CreateResult();
    vt::Journal& journal = shell.EngineJournal();
    std::vector<std::unique_ptr<rel::LoadClientProcess>> clients;
    for (int c = 1; c <= 3; ++c)
        clients.push_back(std::make_unique<rel::LoadClientProcess>(c, 1000000, shell.Tree().Root()));
    for (int c = 1; c <= 3; ++c) ASSERT_TRUE(WaitCalls(journal, c, 300)) << "client " << c;

    ASSERT_TRUE(shell.CloseConsole());

    // Every client gets an error for its next call, soon, and ends.
    for (auto& c : clients) {
        ASSERT_TRUE(c->Wait(std::chrono::seconds(30))) << "client " << c->Client() << " hangs";
        EXPECT_EQ(c->ExitCode(), 1u) << c->Output();
        EXPECT_NE(c->Output().find("failed: 0x8"), std::string::npos) << c->Output();
    }
    Variant late(L"too late");
    EXPECT_TRUE(FAILED(client.Call(3, {&late})));

    // The engine was stopped once and got nothing after that.
    const std::vector<std::string> lines = journal.Lines();
    const int exit = vt::IndexOf(lines, "pExitAll");
    ASSERT_NE(exit, -1);
    EXPECT_EQ(vt::IndexOf(lines, "pExitAll", exit + 1), -1);
    for (std::size_t i = static_cast<std::size_t>(exit); i < lines.size(); ++i)
        EXPECT_FALSE(EngineCall(lines[i])) << lines[i];

    // Nothing lost: what reached the engine reached the log, which ends
    // with its closed line.
    const std::vector<std::string> log = vt::SplitLines(shell.LogText());
    for (int c = 1; c <= 3; ++c) {
        const std::vector<std::string> calls = rel::ClientJournalLines(lines, c);
        const int made = static_cast<int>(calls.size());
        EXPECT_TRUE(rel::SameSequence(calls, rel::ExpectedJournalLines(c, made))) << "client " << c;
        EXPECT_TRUE(rel::SameSequence(rel::ClientLogLines(log, c), rel::ExpectedLogLines(c, made)))
            << "client " << c;
    }
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().rfind("INFO: Log file closed, ", 0), 0u) << log.back();
}

TEST(Faults, AnEngineThatLogsFromInsideEveryCallLosesNoLine) {
    vt::ScratchTree tree("rel-hooks-log");
    tree.Write("System\\recorder.cmds",
               "rec.oninit rec.log 13 from init\n"
               "rec.onexit rec.log 14 from exit\n"
               "rec.ontick rec.log 1 from tick\n");
    vt::ShellProcess shell(vt::StartIn(tree));
    ASSERT_TRUE(shell.WaitEngineStarted());
    ASSERT_TRUE(shell.EngineJournal().WaitFor("pServerTick n=30 "));
    ASSERT_TRUE(shell.TryCommand("rec.log 5 from a command"));
    ASSERT_TRUE(shell.Close());
    EXPECT_EQ(shell.ExitCode(), 0u);

    const std::vector<std::string> log = vt::SplitLines(tree.Read("System\\Velmor.log"));
    ASSERT_GE(log.size(), 8u);
    EXPECT_EQ(log[5].rfind("INFO: Log file open, ", 0), 0u);
    EXPECT_EQ(log[6], "INIT: from init");
    EXPECT_NE(vt::IndexOf(log, "ED: from a command"), -1);
    // One line for every tick the engine had.
    int ticks = 0;
    for (const std::string& line : log) ticks += line == "INFO: from tick";
    EXPECT_EQ(static_cast<std::size_t>(ticks), shell.EngineJournal().Count("pServerTick "));
    // pExitAll logs before the log closes.
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "EXIT: from exit");
    EXPECT_EQ(log.back().rfind("INFO: Log file closed, ", 0), 0u);
}

TEST(Faults, ATickStalledForTwoSecondsLosesNoTick) {
    vt::ScratchTree tree("rel-tick-stall");
    // The first tick sleeps two seconds, then takes both hooks away.
    tree.Write("System\\recorder.cmds", "rec.ontick rec.sleep 2000\nrec.ontick rec.ontick off\n");
    vt::ShellProcess shell(vt::StartIn(tree));
    ASSERT_TRUE(shell.WaitEngineStarted());
    vt::Journal& journal = shell.EngineJournal();
    // Until 6 s after the engine started.
    bool late = false;
    for (int i = 0; i < 300 && !late; ++i) {
        ::Sleep(50);
        const auto lines = journal.Matching("pServerTick ");
        late = !lines.empty() && rel::TicksBetween(lines, 0, lines.size()).back().t > 6000000;
    }
    ASSERT_TRUE(late);
    ASSERT_TRUE(shell.Close());

    const std::vector<std::string> lines = journal.Matching("pServerTick ");
    const std::vector<rel::Tick> ticks = rel::TicksBetween(lines, 0, lines.size());
    ASSERT_GE(ticks.size(), 100u);
    ASSERT_EQ(ticks[0].n, 1u);
    // The ticks that queued up during the stall ran back to back after it...
    const std::uint64_t stallEnd = ticks[1].t;
    EXPECT_GE(stallEnd - ticks[0].t, 1990000u) << "the first tick did not stall";
    std::size_t burst = 0;
    while (burst + 1 < ticks.size() && ticks[burst + 1].t - stallEnd < 200000) ++burst;
    EXPECT_GE(burst, 60u) << "the queued ticks did not run at once";
    // ...and none was lost: the count keeps up with the 28 ms period.
    const rel::Tick& last = ticks.back();
    const double due = static_cast<double>(last.t) / 28000;
    std::printf("after the stall: %zu ticks at once; tick %llu at %.3f s, %.1f due\n", burst,
                static_cast<unsigned long long>(last.n), last.t / 1e6, due);
    EXPECT_NEAR(static_cast<double>(last.n), due, 3.0);
    for (std::size_t i = 1; i < ticks.size(); ++i) ASSERT_EQ(ticks[i].n, ticks[i - 1].n + 1);
}

TEST(Faults, AnEngineThatOpensAndClosesTheLogOnEveryTick) {
    vt::ScratchTree tree("rel-log-every-tick");
    tree.Write("System\\recorder.cmds",
               "rec.ontick rec.openlog tick.log\nrec.ontick rec.log 1 tick line\n");
    vt::ShellProcess shell(vt::StartIn(tree));
    ASSERT_TRUE(shell.WaitEngineStarted());
    ASSERT_TRUE(shell.EngineJournal().WaitFor("pServerTick n=40 "));
    ASSERT_TRUE(shell.TryCommand("rec.ontick off"));
    ASSERT_TRUE(shell.TryCommand("rec.closelog"));
    ASSERT_TRUE(shell.TryCommand("rec.closelog"));
    ASSERT_TRUE(shell.TryCommand("rec.openlog final.log"));
    ASSERT_TRUE(shell.TryCommand("rec.log 1 into the final log"));
    ASSERT_TRUE(shell.Close());
    EXPECT_EQ(shell.ExitCode(), 0u);

    // The first tick closed Velmor.log; tick.log, opened afresh on every
    // tick, holds the last tick's lines and its closed line.
    const std::vector<std::string> first = vt::SplitLines(tree.Read("System\\Velmor.log"));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.back().rfind("INFO: Log file closed, ", 0), 0u);
    const std::vector<std::string> tick = vt::SplitLines(tree.Read("System\\tick.log"));
    ASSERT_GE(tick.size(), 8u);
    EXPECT_EQ(tick[5].rfind("INFO: Log file open, ", 0), 0u);
    EXPECT_EQ(tick[6], "INFO: tick line");
    EXPECT_EQ(tick.back().rfind("INFO: Log file closed, ", 0), 0u);
    const std::vector<std::string> final = vt::SplitLines(tree.Read("System\\final.log"));
    ASSERT_GE(final.size(), 9u);
    EXPECT_EQ(final[6], "CONSOLE: rec.log 1 into the final log");
    EXPECT_EQ(final[7], "INFO: into the final log");
    EXPECT_EQ(final.back().rfind("INFO: Log file closed, ", 0), 0u);
}

// ------------------------------------------------------------------ crashes

// The shell's log after a fault: the lines before it, then the three CRITICAL
// lines last, the third naming the crash dump.
void ExpectCrashLogged(vt::ShellProcess& shell, const vt::ScratchTree& tree,
                       const std::vector<std::string>& before) {
    ASSERT_TRUE(shell.WaitExit(kCrashEnd)) << "the shell did not end";
    EXPECT_EQ(shell.ExitCode(), 0xC0000005u);
    const std::vector<std::string> log = vt::SplitLines(tree.Read("System\\Velmor.log"));
    ASSERT_GE(log.size(), before.size() + 3);
    EXPECT_TRUE(rel::EndsWithCrashLinesAndDump(log, tree.System()));
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(log[log.size() - 3 - before.size() + i], before[i]);
    // The last CRITICAL line is complete, its line end included.
    const std::string bytes = tree.Read("System\\Velmor.log");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

TEST(Crashes, AFaultInsideACommandIsLoggedWithTheLinesBeforeIt) {
    vt::ScratchTree tree("rel-crash-command");
    vt::ShellProcess shell(vt::StartIn(tree));
    ASSERT_TRUE(shell.WaitEngineStarted());
    ASSERT_TRUE(shell.TryCommand("rec.log 1 just before the crash"));
    shell.Type("rec.crash");
    ExpectCrashLogged(shell, tree,
                      {"CONSOLE: rec.log 1 just before the crash", "INFO: just before the crash",
                       "CONSOLE: rec.crash"});
    EXPECT_EQ(shell.EngineJournal().Lines().back(), "edsrvProcess 65535 0 \"rec.crash\"");
}

TEST(Crashes, AFaultInsideARemoteCommand) {
    vt::ScratchTree tree("rel-crash-remote");
    tree.Write("System\\Velmor.ini", "[RemoteConsole]\r\nPassword=fault-test-password\r\nPort=0\r\n");
    vt::ShellProcess shell(vt::StartIn(tree));
    ASSERT_TRUE(shell.WaitEngineStarted());
    const std::uint16_t port = vt::ListeningPort(shell);
    ASSERT_NE(port, 0);
    vt::RconClient client(port);
    ASSERT_TRUE(client.SignIn("fault-test-password"));
    ASSERT_TRUE(client.Send(2, 2, "rec.crash"));
    ExpectCrashLogged(shell, tree, {"INFO: rec.crash"});
    EXPECT_TRUE(client.WaitClosed(std::chrono::seconds(5)));
}

TEST(Crashes, AFaultInsideATick) {
    vt::ScratchTree tree("rel-crash-tick");
    tree.Write("System\\recorder.cmds", "rec.log 1 before the tick\nrec.ontick rec.crash\n");
    vt::ShellProcess shell(vt::StartIn(tree));
    ExpectCrashLogged(shell, tree, {"INFO: before the tick"});
    EXPECT_EQ(shell.EngineJournal().Count("pServerTick "), 1u);
}

TEST(Crashes, AFaultInsideTheEnginesStart) {
    vt::ScratchTree tree("rel-crash-init");
    tree.Write("System\\recorder.cmds", "rec.log 13 starting\nrec.crash\n");
    vt::ShellProcess shell(vt::StartIn(tree));
    ExpectCrashLogged(shell, tree, {"INIT: starting"});
    EXPECT_EQ(shell.EngineJournal().Count("pServerTick "), 0u);
}

}  // namespace

namespace {

// The shell of `tree` ended by a typed command that faults; its log.
std::vector<std::string> CrashByCommand(const vt::ScratchTree& tree) {
    vt::ShellProcess shell(vt::StartIn(tree));
    EXPECT_TRUE(shell.WaitEngineStarted());
    shell.Type("rec.crash");
    EXPECT_TRUE(shell.WaitExit(kCrashEnd)) << "the shell did not end";
    EXPECT_EQ(shell.ExitCode(), 0xC0000005u);
    return vt::SplitLines(tree.Read("System\\Velmor.log"));
}

std::string DumpName(const SYSTEMTIME& t) {
    char name[64];
    std::snprintf(name, sizeof name, "Velmor-%04u%02u%02u-%02u%02u%02u.dmp", t.wYear, t.wMonth,
                  t.wDay, t.wHour, t.wMinute, t.wSecond);
    return name;
}

TEST(CrashDumps, TheFiveNewestAreKept) {
    vt::ScratchTree tree("rel-dump-five");
    for (int day = 1; day <= 5; ++day)
        tree.Write("System\\Velmor-2020010" + std::to_string(day) + "-120000.dmp", "old");
    const std::vector<std::string> log = CrashByCommand(tree);
    EXPECT_TRUE(rel::EndsWithCrashLinesAndDump(log, tree.System()));
    EXPECT_FALSE(vt::FileExists(tree.System() + "\\Velmor-20200101-120000.dmp"));
    for (int day = 2; day <= 5; ++day)
        EXPECT_TRUE(vt::FileExists(tree.System() + "\\Velmor-2020010" + std::to_string(day) +
                                "-120000.dmp"));
}

TEST(CrashDumps, ADumpThatCannotBeWrittenIsReportedAndTheShellStillEnds) {
    vt::ScratchTree tree("rel-dump-blocked");
    // A folder stands where each name of the next two minutes would go.
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER at{{now.dwLowDateTime, now.dwHighDateTime}};
    for (int s = 0; s < 120; ++s, at.QuadPart += 10000000ull) {
        const FILETIME utc{at.LowPart, at.HighPart};
        FILETIME local;
        SYSTEMTIME t;
        ASSERT_TRUE(::FileTimeToLocalFileTime(&utc, &local) && ::FileTimeToSystemTime(&local, &t));
        ASSERT_TRUE(::CreateDirectoryA((tree.System() + "\\" + DumpName(t)).c_str(), nullptr));
    }
    const std::vector<std::string> log = CrashByCommand(tree);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], rel::kCaughtLine);
    EXPECT_TRUE(std::regex_match(log[log.size() - 2], rel::kAccessViolationLine));
    EXPECT_TRUE(std::regex_match(
        log.back(), std::regex("CRITICAL: Crash dump could not be written: "
                               "Velmor-[0-9]{8}-[0-9]{6}\\.dmp \\(error [0-9]+\\)")))
        << log.back();
}

}  // namespace
