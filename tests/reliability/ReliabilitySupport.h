// What the reliability cases share beyond the harness: the end of a crashed
// shell's log and its dump, load clients in processes of their own, and the
// journal read back per client.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <regex>

#include "Files.h"
#include "Journal.h"
#include "Process.h"
#include "ScratchTree.h"
#include "ShellProcess.h"
#include "TextLines.h"

namespace rel {

// The two CRITICAL lines that end the log of a shell ended by an access
// violation: the shell's message for an exception that escapes its run, then
// the code and the address.
inline constexpr char kCaughtLine[] = "CRITICAL: Caught general exception";
inline const std::regex kAccessViolationLine(
    "CRITICAL: Exception 0xC0000005 at (0x)?[0-9A-Fa-f]+; the shell ends");
// The third line names the crash dump, written in the System folder.
inline const std::regex kDumpWrittenLine(
    "CRITICAL: Crash dump written: (Velmor-[0-9]{8}-[0-9]{6}\\.dmp)");

// The three CRITICAL lines at the end of `log`, and the dump the third one
// names in `systemDirectory`: a minidump whose exception stream records an
// access violation at an address inside the engine library's image.
::testing::AssertionResult EndsWithCrashLinesAndDump(const std::vector<std::string>& log,
                                                     const std::string& systemDirectory);

// reliability_load_client, started in a directory, output to a file.
class LoadClientProcess {
public:
    LoadClientProcess(int client, int calls, const std::string& directory);
    LoadClientProcess(const LoadClientProcess&) = delete;
    LoadClientProcess& operator=(const LoadClientProcess&) = delete;

    int Client() const { return m_client; }
    bool Wait(std::chrono::milliseconds timeout) { return m_process->WaitExit(timeout); }
    DWORD ExitCode() const { return m_process->ExitCode(); }
    std::string Output() const;
    void Kill() { m_process->Kill(); }

private:
    int m_client;
    std::string m_output;
    std::unique_ptr<vt::Process> m_process;  // ended with its holder if it still runs
};

// The journal lines that belong to a load client, in journal order, and the
// lines its first `calls` calls must have made.
std::vector<std::string> ClientJournalLines(const std::vector<std::string>& journal, int client);
std::vector<std::string> ExpectedJournalLines(int client, int calls);
// Log lines of a client: the INFO echo of each Exec and the engine's ED line
// logged from inside that Exec.
std::vector<std::string> ClientLogLines(const std::vector<std::string>& log, int client);
std::vector<std::string> ExpectedLogLines(int client, int calls);

// Equal sequences, or where they first part (for sequences too long to print).
::testing::AssertionResult SameSequence(const std::vector<std::string>& got,
                                        const std::vector<std::string>& want);

// A server tick as the journal has it.
struct Tick {
    std::uint64_t n = 0;
    std::uint64_t t = 0;  // microseconds since pInitAll
};
std::vector<Tick> TicksBetween(const std::vector<std::string>& journal, std::size_t from,
                               std::size_t to);
// Ticks per second over the first and last tick of the list; 0 for fewer than two.
double TickRate(const std::vector<Tick>& ticks);

}  // namespace rel
