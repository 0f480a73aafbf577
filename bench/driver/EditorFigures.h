// Editor calls: the round trip of Exec, of GetProp with a reply of 16383
// characters and of SetProp, from a late-binding client in this process to
// the shell's automation server, against the editor-call floor
// (floor_comserver), a minimal local server with the same method shapes.
// Both servers run side by side and take blocks of calls in turn
// (Interleave.h): each member's median is judged by the median of the
// ratios of the blocks' pairs, its p99 over all blocks of each side. Exec is judged against the floor server
// that also does Exec's echo as the shell does (floor_comserver -Echo: the
// line to a log file and to a window painted after each 28 ms tick), and
// shown against the bare floor.
#pragma once

#include <windows.h>

#include <string>

#include "Harness.h"
#include "EditorClient.h"
#include "Options.h"
#include "Paths.h"
#include "ResultTable.h"

namespace bench {

// The floor server's memory: registered, its object made, after the calls.
struct FloorServerMemory {
    MemorySample serverReady;
    MemorySample serverMade;
    MemorySample serverAfter;
};

// The calls to the shell's server, from a client made on this thread.
class EditorCalls {
public:
    EditorCalls(const CLSID& clsid, const Paths& paths, const Options& options, ResultTable& table);

    // The object's first `count` calls, untimed (Exec, GetProp and SetProp in
    // turn): every path of the server taken, the point memory grows from.
    void Warm(long long count);
    // Times each member in blocks, in turn with the floor server started for
    // them; the rows are added to the table.
    void Timed();
    // More property calls, untimed, until options.totalCalls were made since Warm.
    void Rest();
    long long Calls() const { return m_calls; }
    long long CallsSinceWarm() const { return m_calls - m_warmCalls; }
    const FloorServerMemory& FloorMemory() const { return m_floorMemory; }

private:
    // The blocks of one member (0 Exec, 1 GetProp, 2 SetProp) in turn with
    // `floor`, its rows added ("against" ends their names); false if a call
    // failed.
    bool TimeMember(std::size_t index, EditorClient& floor, const std::string& against, bool judged,
                    std::size_t& shellLength, std::size_t& floorLength);

    EditorClient m_client;
    HRESULT m_created;
    const Paths& m_paths;
    const Options& m_options;
    FloorServerMemory m_floorMemory;
    ResultTable& m_table;
    long long m_calls = 0;
    long long m_warmCalls = 0;  // m_calls at the end of Warm
};

}  // namespace bench
