// Load: four automation clients in processes of their own, each making N
// mixed Exec, SetProp and GetProp calls (VELMOR_LOAD_CALLS, 10,000 by
// default) on one OLE-started shell while its engine ticks and logs five
// lines on every tick. Every call reaches the engine exactly once and in its
// client's order, every Exec and what the engine logged inside it reach the
// log file, the ticks keep their rate, and the shell's memory comes back to
// where it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "EdServerClient.h"
#include "OleShell.h"
#include "ProcessMemory.h"
#include "ReliabilitySupport.h"

namespace {

using vt::Variant;

constexpr int kClients = 4;
constexpr double kTickRate = 1000.0 / 28;  // a 28 ms period: 35.714 ticks a second

int CallsPerClient() {
    const char* text = std::getenv("VELMOR_LOAD_CALLS");
    const int calls = text ? std::atoi(text) : 10000;
    return calls > 0 ? calls : 10000;
}

// Runs the clients to their end; false if one did not end in time.
bool RunClients(const std::vector<int>& ids, int calls, const std::string& directory,
                std::vector<std::string>& failures) {
    std::vector<std::unique_ptr<rel::LoadClientProcess>> clients;
    for (int id : ids) clients.push_back(std::make_unique<rel::LoadClientProcess>(id, calls, directory));
    bool ended = true;
    for (auto& client : clients) {
        // At least a minute, and 20 ms a call of all clients together.
        const auto timeout = std::chrono::milliseconds(60000 + 20LL * calls * kClients);
        if (!client->Wait(timeout)) {
            ended = false;
            failures.push_back("client " + std::to_string(client->Client()) + " did not end");
        } else if (client->ExitCode() != 0) {
            failures.push_back("client " + std::to_string(client->Client()) + " ended with " +
                               std::to_string(client->ExitCode()) + ": " + client->Output());
        }
    }
    return ended;
}

std::size_t IndexOfLine(const std::vector<std::string>& lines, const std::string& line) {
    const int at = vt::IndexOf(lines, line);
    return at < 0 ? lines.size() : static_cast<std::size_t>(at);
}

TEST(Load, FourClientsLoseNothingAndTheTicksKeepTheirRate) {
    const int calls = CallsPerClient();
    vt::OleShell shell("rel-load");
    vt::ClientDirectory directory(shell.Tree());
    vt::EdServerClient client;  // starts the shell and holds it for the run
    ASSERT_TRUE(client.Created()) << std::hex << client.CreateResult();
    vt::Journal& journal = shell.EngineJournal();
    ASSERT_TRUE(journal.WaitFor("pInitAll"));
    const DWORD pid = shell.WaitShellPid();
    ASSERT_NE(pid, 0u);
    Variant hook(L"rec.ontick rec.logrepeat 1 5 40");
    ASSERT_EQ(client.Call(3, {&hook}), S_OK);

    // A first, short round of the same clients brings in everything a run
    // needs, the engine's 64 properties of each client too; the memory is
    // measured after it.
    std::vector<std::string> failures;
    ASSERT_TRUE(RunClients({1, 2, 3, 4}, 300, shell.Tree().Root(), failures));
    EXPECT_TRUE(failures.empty()) << failures.front();
    ::Sleep(1000);
    const vt::MemorySample before = vt::ReadMemoryById(pid);
    Variant heap(L"rec.heap");
    ASSERT_EQ(client.Call(3, {&heap}), S_OK);

    Variant begin(L"rec.journal load begin"), end(L"rec.journal load end");
    ASSERT_EQ(client.Call(3, {&begin}), S_OK);
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(RunClients({1, 2, 3, 4}, calls, shell.Tree().Root(), failures));
    const DWORD elapsed = ::GetTickCount() - start;
    ASSERT_EQ(client.Call(3, {&end}), S_OK);
    for (const std::string& failure : failures) ADD_FAILURE() << failure;
    std::printf("load: %d clients x %d calls in %lu ms (%.0f calls a second)\n", kClients, calls,
                static_cast<unsigned long>(elapsed), kClients * calls * 1000.0 / elapsed);

    ::Sleep(2000);
    const vt::MemorySample after = vt::ReadMemoryById(pid);
    ASSERT_EQ(client.Call(3, {&heap}), S_OK);
    Variant off(L"rec.ontick off");
    ASSERT_EQ(client.Call(3, {&off}), S_OK);

    // Every call once, in its client's order.
    const std::vector<std::string> lines = journal.Lines();
    const std::size_t from = IndexOfLine(lines, "note load begin");
    const std::size_t to = IndexOfLine(lines, "note load end");
    ASSERT_LT(from, to);
    const std::vector<std::string> during(lines.begin() + static_cast<long>(from),
                                          lines.begin() + static_cast<long>(to));
    for (int c = 1; c <= kClients; ++c)
        EXPECT_TRUE(rel::SameSequence(rel::ClientJournalLines(during, c),
                                      rel::ExpectedJournalLines(c, calls)))
            << "client " << c;

    // The tick rate over the load.
    const std::vector<rel::Tick> ticks = rel::TicksBetween(lines, from, to);
    ASSERT_GE(ticks.size(), 2u);
    const double rate = rel::TickRate(ticks);
    std::uint64_t longestGap = 0;
    for (std::size_t i = 1; i < ticks.size(); ++i)
        longestGap = std::max(longestGap, ticks[i].t - ticks[i - 1].t);
    std::printf("ticks during the load: %zu, %.3f a second (%.2f %% off), longest gap %llu ms\n",
                ticks.size(), rate, (rate - kTickRate) * 100 / kTickRate,
                static_cast<unsigned long long>(longestGap / 1000));
    EXPECT_NEAR(rate, kTickRate, kTickRate / 100);
    for (std::size_t i = 1; i < ticks.size(); ++i)
        ASSERT_EQ(ticks[i].n, ticks[i - 1].n + 1) << "a tick is missing";

    // Memory back near where it was: the pane, the log and the engine's
    // store are bounded, so what stays is what the calls leaked. Seen from
    // outside, the heaps keep some of what they grew to; walked from inside
    // (by the engine, in the shell's process), the blocks in use show a leak
    // of anything allocated once a call (40,000 blocks), far above the few
    // hundred the system's RPC keeps for each new client process (about 100
    // blocks and 20 KiB a client here, varying from run to run). The bytes
    // check is the coarser one: 4 bytes a call.
    ASSERT_TRUE(before.valid && after.valid) << "the shell's memory cannot be read";
    std::printf("shell memory: working set %.0f -> %.0f KiB, private %.0f -> %.0f KiB\n",
                before.workingSetKiB, after.workingSetKiB, before.privateKiB, after.privateKiB);
    EXPECT_LT(after.privateKiB, before.privateKiB + 6 * 1024);  // 6 MiB
    EXPECT_LT(after.workingSetKiB, before.workingSetKiB + 8 * 1024);  // 8 MiB
    const std::vector<std::string> heaps = journal.Matching("heap ");
    ASSERT_EQ(heaps.size(), 2u);
    unsigned long long busyBefore = 0, busyAfter = 0, blocksBefore = 0, blocksAfter = 0;
    ASSERT_EQ(std::sscanf(heaps[0].c_str(), "heap busy=%llu blocks=%llu", &busyBefore, &blocksBefore), 2);
    ASSERT_EQ(std::sscanf(heaps[1].c_str(), "heap busy=%llu blocks=%llu", &busyAfter, &blocksAfter), 2);
    std::printf("heap in use: %llu -> %llu bytes, %llu -> %llu blocks\n", busyBefore, busyAfter,
                blocksBefore, blocksAfter);
    EXPECT_LT(busyAfter, busyBefore + 4ull * kClients * calls) << "about " << (busyAfter - busyBefore) / (kClients * calls)
                                                 << " bytes a call stayed";
    EXPECT_LT(blocksAfter, blocksBefore + 1000);

    // The log has every Exec's echo and what the engine logged inside it.
    client.Release();
    ASSERT_TRUE(shell.CloseConsole());
    const std::vector<std::string> log = vt::SplitLines(shell.LogText());
    const int logFrom = vt::IndexOf(log, "INFO: rec.journal load begin");
    const int logTo = vt::IndexOf(log, "INFO: rec.journal load end");
    ASSERT_TRUE(logFrom >= 0 && logTo > logFrom);
    const std::vector<std::string> logged(log.begin() + logFrom, log.begin() + logTo);
    for (int c = 1; c <= kClients; ++c)
        EXPECT_TRUE(rel::SameSequence(rel::ClientLogLines(logged, c), rel::ExpectedLogLines(c, calls)))
            << "client " << c;
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().rfind("INFO: Log file closed, ", 0), 0u) << log.back();
}

}  // namespace
