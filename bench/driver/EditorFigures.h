// Editor calls: the round trip of Exec, of GetProp with a reply of 16383
// characters and of SetProp, from a late-binding client in this process to
// the shell's automation server, against the editor-call floor
// (floor_comserver), a minimal local server with the same method shapes.
#pragma once

#include <windows.h>

#include <vector>

#include "Harness.h"
#include "EditorClient.h"
#include "Options.h"
#include "Paths.h"
#include "ResultTable.h"

namespace bench {

struct CallTimes {
    std::vector<double> execUs;
    std::vector<double> getPropUs;
    std::vector<double> setPropUs;
    std::size_t replyLength = 0;  // of the last GetProp
    HRESULT result = S_OK;        // the first failure, or S_OK
    // The floor server's memory: registered, its object made, after the calls.
    MemorySample serverReady;
    MemorySample serverMade;
    MemorySample serverAfter;
};

// Run before the shell's session, so that nothing else runs beside it.
CallTimes TimeFloorCalls(const Paths& paths, const Options& options);

// The calls to the shell's server, from a client made on this thread.
class EditorCalls {
public:
    EditorCalls(const CLSID& clsid, const Options& options, const CallTimes& floor, ResultTable& table);

    // The object's first `count` calls, untimed (Exec, GetProp and SetProp in
    // turn): every path of the server taken, the point memory grows from.
    void Warm(long long count);
    // Times each member, its rows added to the table.
    void Timed();
    // More property calls, untimed, until options.totalCalls were made since Warm.
    void Rest();
    long long Calls() const { return m_calls; }
    long long CallsSinceWarm() const { return m_calls - m_warmCalls; }

private:
    EditorClient m_client;
    HRESULT m_created;
    const Options& m_options;
    const CallTimes& m_floor;
    ResultTable& m_table;
    long long m_calls = 0;
    long long m_warmCalls = 0;  // m_calls at the end of Warm
};

}  // namespace bench
