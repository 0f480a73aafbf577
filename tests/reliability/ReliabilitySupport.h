// What the reliability cases share: the shell started from any executable in
// any start directory with the engine's journal where the test wants it, log
// files split into lines, the shell's memory seen from outside, load clients
// in processes of their own, and the journal read back per client.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <regex>

#include "Journal.h"

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

struct ShellStart {
    std::string exe;        // Windows path of Velmor.exe
    std::string arguments;  // after the quoted program name
    std::string directory;  // the start directory
    std::string journal;    // the recording engine's journal (VELMOR_JOURNAL)
};

// One run of the shell, driven from this process as a user would.
class Shell {
public:
    explicit Shell(const ShellStart& start);
    ~Shell();  // closes the console if it still runs; kills only if that fails
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    DWORD Id() const { return m_info.dwProcessId; }
    vt::Journal& EngineJournal() { return m_journal; }
    bool Running() const;

    // The console window; null if none appears in time.
    HWND Console(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    HWND Control(int id);
    bool WaitEngineStarted() { return m_journal.WaitFor("pInitAll"); }

    // Puts text into the command line (WM_SETTEXT) and presses Enter.
    void Type(const std::string& text);
    void TypeWide(const std::wstring& text);
    // Types a command and waits until the engine got it, trimmed as the
    // console trims it; false on timeout.
    bool Command(const std::string& text);
    // Runs "rec.journal TAG" and waits for its note.
    bool Sync(const std::string& tag);
    void MenuCommand(UINT id);
    std::string PaneText();  // once the pane has settled

    bool Close();  // system menu Close, then the wait
    bool WaitExit(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    DWORD ExitCode() const;
    void Kill();

private:
    PROCESS_INFORMATION m_info{};
    vt::Journal m_journal;
    HWND m_console = nullptr;
};

// Splits at "\r\n" (or a bare "\n"); a last line without an end is kept.
std::vector<std::string> SplitLines(const std::string& text);
// Index of the first line (from `from` on) equal to `line`, or -1.
int IndexOf(const std::vector<std::string>& lines, const std::string& line, int from = 0);
// The journal's quoted form of a string (vt::JournalQuote).
std::string Quoted(const std::string& text);

// The shell's memory, read from outside through its process id.
struct Memory {
    std::size_t workingSet = 0;
    std::size_t privateBytes = 0;
};
bool ReadMemory(DWORD pid, Memory& memory);

// reliability_load_client, started in a directory, output to a file.
class LoadClientProcess {
public:
    LoadClientProcess(int client, int calls, const std::string& directory);
    ~LoadClientProcess();  // kills the client if it still runs
    LoadClientProcess(const LoadClientProcess&) = delete;
    LoadClientProcess& operator=(const LoadClientProcess&) = delete;

    int Client() const { return m_client; }
    bool Wait(std::chrono::milliseconds timeout);
    DWORD ExitCode() const;
    std::string Output() const;
    void Kill();

private:
    int m_client;
    std::string m_output;
    PROCESS_INFORMATION m_info{};
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

// A fresh, empty directory (Windows path) under the scratch root.
std::string ScratchDirectory(const std::string& name);
void CopyShellInto(const std::string& systemDirectory);  // Velmor.exe, recorder, tlb
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool Exists(const std::string& path);

}  // namespace rel
