#include "EditorFigures.h"

#include <algorithm>
#include <cstdio>

#include "OleString.h"
#include "Harness.h"
#include "EditorClient.h"
#include "FloorIds.h"
#include "Interleave.h"
#include "Qpc.h"
#include "Stats.h"
#include "UniqueHandle.h"

namespace bench {

namespace {

constexpr int kWarmUpCalls = 100;
constexpr double kFloorFactor = 1.2;
constexpr std::size_t kReplyLength = 16383;
// Calls of one member in one block: enough that a block's p99 is a rank of
// its own (the fifth slowest), few enough that the blocks of both servers
// alternate many times over a run.
constexpr long long kBlockCalls = 500;
constexpr int kLeastPairs = 4;

// The arguments every call passes; the engine is told to answer each
// property request with kReplyLength characters.
struct CallArguments {
    fw::OleString command{::SysAllocString(L"bench")};
    fw::OleString first{::SysAllocString(L"bench")};
    fw::OleString second{::SysAllocString(L"prop")};
    fw::OleString value{::SysAllocString(L"value")};
};

// One member's call; the reply's length goes to `length`.
using MemberCall = HRESULT (*)(EditorClient&, const CallArguments&, std::size_t& length);

struct Member {
    const char* figure;
    MemberCall call;
};

const Member kMembers[] = {
    {"Exec", [](EditorClient& c, const CallArguments& a, std::size_t&) { return c.Exec(a.command.Get()); }},
    {"GetProp 16383 chars",
     [](EditorClient& c, const CallArguments& a, std::size_t& length) {
         return c.GetProp(a.first.Get(), a.second.Get(), length);
     }},
    {"SetProp",
     [](EditorClient& c, const CallArguments& a, std::size_t&) {
         return c.SetProp(a.first.Get(), a.second.Get(), a.value.Get());
     }},
};

// Makes `count` calls, each timed into `times` when it is given; the first
// failure stops it.
HRESULT MakeCalls(EditorClient& client, const Member& member, const CallArguments& args, long long count,
              std::vector<double>* times, std::size_t& length) {
    for (long long i = 0; i < count; ++i) {
        const std::int64_t begin = QpcNow();
        const HRESULT hr = member.call(client, args, length);
        const std::int64_t end = QpcNow();
        if (FAILED(hr)) return hr;
        if (times) times->push_back(QpcToMicroseconds(end - begin));
    }
    return S_OK;
}

// Property calls in turn, untimed, to bring the number of calls up.
long long MoreCalls(EditorClient& client, long long count) {
    const CallArguments args;
    std::size_t length = 0;
    for (long long i = 0; i < count; ++i) {
        const HRESULT hr = i % 2 ? client.SetProp(args.first.Get(), args.second.Get(), args.value.Get())
                                 : client.GetProp(args.first.Get(), args.second.Get(), length);
        if (FAILED(hr)) return i;
    }
    return count;
}

std::string Describe(HRESULT hr) {
    char text[32];
    std::snprintf(text, sizeof text, "call failed 0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// The editor-call floor, started for the timed calls and ended with them;
// with `echo`, the floor that also does Exec's echo (floor_comserver -Echo).
class FloorServer {
public:
    FloorServer(const Paths& paths, bool echo)
        : m_ready(::CreateEventA(nullptr, TRUE, FALSE, echo ? kEchoFloorReadyEvent : kFloorReadyEvent)),
          m_server(paths.Floor("floor_comserver"), echo ? "-Embedding -Echo" : "-Embedding", paths.benchDir) {
        // The server sets the event once its class is registered as running.
        if (!m_ready.Get() || ::WaitForSingleObject(m_ready.Get(), 30000) != WAIT_OBJECT_0) {
            m_created = CO_E_SERVER_EXEC_FAILURE;
            return;
        }
        m_memory.serverReady = m_server.Memory();
        m_created = m_client.Create(echo ? CLSID_BenchEchoFloorServer : CLSID_BenchFloorServer);
        m_memory.serverMade = m_server.Memory();
    }
    ~FloorServer() {
        m_client.Release();
        m_server.WaitExit(std::chrono::seconds(10));
    }
    FloorServer(const FloorServer&) = delete;
    FloorServer& operator=(const FloorServer&) = delete;

    HRESULT Created() const { return m_created; }
    EditorClient& Client() { return m_client; }
    const FloorServerMemory& Memory() {
        m_memory.serverAfter = m_server.Memory();
        return m_memory;
    }

private:
    fw::UniqueHandle m_ready;
    Child m_server;
    EditorClient m_client;
    HRESULT m_created = S_OK;
    FloorServerMemory m_memory;
};

}  // namespace

EditorCalls::EditorCalls(const CLSID& clsid, const Paths& paths, const Options& options, ResultTable& table)
    : m_created(m_client.Create(clsid)), m_paths(paths), m_options(options), m_table(table) {}

bool EditorCalls::TimeMember(std::size_t index, EditorClient& floor, const std::string& against, bool judged,
                             std::size_t& shellLength, std::size_t& floorLength) {
    const Member& member = kMembers[index];
    const CallArguments args;
    const int pairs =
        static_cast<int>(std::max<long long>(kLeastPairs, (m_options.calls + kBlockCalls - 1) / kBlockCalls));
    HRESULT shellResult = MakeCalls(m_client, member, args, kWarmUpCalls, nullptr, shellLength);
    HRESULT floorResult = MakeCalls(floor, member, args, kWarmUpCalls, nullptr, floorLength);
    std::vector<std::vector<double>> shellBlocks(static_cast<std::size_t>(pairs));
    std::vector<std::vector<double>> floorBlocks(static_cast<std::size_t>(pairs));
    const int done = SUCCEEDED(shellResult) && SUCCEEDED(floorResult)
                         ? Alternate(
                               pairs,
                               [&](int i) {
                                   shellResult = MakeCalls(m_client, member, args, kBlockCalls,
                                                           &shellBlocks[static_cast<std::size_t>(i)], shellLength);
                                   return SUCCEEDED(shellResult);
                               },
                               [&](int i) {
                                   floorResult = MakeCalls(floor, member, args, kBlockCalls,
                                                           &floorBlocks[static_cast<std::size_t>(i)], floorLength);
                                   return SUCCEEDED(floorResult);
                               })
                         : 0;
    m_calls += kWarmUpCalls + static_cast<long long>(done) * kBlockCalls;
    const std::string figure = std::string(member.figure) + " round trip";
    if (FAILED(shellResult) || FAILED(floorResult)) {
        const bool shellFailed = FAILED(shellResult);
        m_table.Add({figure + against, "", "", "",
                     (shellFailed ? "shell: " : "floor: ") + Describe(shellFailed ? shellResult : floorResult),
                     "FAIL"});
        return false;
    }
    PairedFigure median, p99;
    std::vector<double> shellAll, floorAll;
    for (std::size_t i = 0; i < static_cast<std::size_t>(done); ++i) {
        median.Add(Median(shellBlocks[i]), Median(floorBlocks[i]));
        p99.Add(Percentile(shellBlocks[i], 99), Percentile(floorBlocks[i], 99));
        shellAll.insert(shellAll.end(), shellBlocks[i].begin(), shellBlocks[i].end());
        floorAll.insert(floorAll.end(), floorBlocks[i].begin(), floorBlocks[i].end());
    }
    const double factor = judged ? kFloorFactor : 0;
    AddPairedRow(m_table, figure + " median" + against + " (us)", median, 0, factor);
    AddPooledRow(m_table, figure + " p99" + against + " (us)", Percentile(shellAll, 99), Percentile(floorAll, 99),
                 p99, 0, factor);
    return true;
}

void EditorCalls::Timed() {
    std::printf("  editor calls, shell and floor in turn: blocks of %lld calls of each member on each\n", kBlockCalls);
    std::fflush(stdout);
    if (FAILED(m_created)) {
        m_table.Add({"editor calls", "", "", "", "no server object: " + Describe(m_created), "FAIL"});
        return;
    }
    FloorServer bare(m_paths, false);
    FloorServer echo(m_paths, true);
    for (const FloorServer* floor : {&bare, &echo}) {
        if (FAILED(floor->Created())) {
            m_table.Add({"editor calls", "", "", "", "floor: no server object: " + Describe(floor->Created()),
                         "FAIL"});
            return;
        }
    }
    std::size_t shellLength = 0;
    std::size_t floorLength = 0;
    // Exec is judged against the floor that echoes the command as the shell
    // does (to a log file and to a window painted after each tick), and shown
    // against the bare floor; the property calls against the bare floor.
    TimeMember(0, echo.Client(), "", true, shellLength, floorLength);
    TimeMember(0, bare.Client(), " against the bare floor", false, shellLength, floorLength);
    TimeMember(1, bare.Client(), "", true, shellLength, floorLength);
    TimeMember(2, bare.Client(), "", true, shellLength, floorLength);
    m_floorMemory = bare.Memory();
    m_table.Add({"GetProp reply length (chars)", std::to_string(shellLength), std::to_string(floorLength), "",
                 std::to_string(kReplyLength), Verdict(shellLength == kReplyLength)});
}

void EditorCalls::Warm(long long count) {
    if (FAILED(m_created)) return;
    std::printf("  shell editor calls, %lld to warm up\n", count);
    std::fflush(stdout);
    const CallArguments args;
    long long made = 0;
    for (; made < count; ++made) {
        std::size_t length = 0;
        const HRESULT hr = made % 3 == 0   ? m_client.Exec(args.command.Get())
                           : made % 3 == 1 ? m_client.GetProp(args.first.Get(), args.second.Get(), length)
                                           : m_client.SetProp(args.first.Get(), args.second.Get(), args.value.Get());
        if (FAILED(hr)) break;
    }
    m_calls += made;
    m_warmCalls = m_calls;
}

void EditorCalls::Rest() {
    const long long left = m_options.totalCalls - CallsSinceWarm();
    if (FAILED(m_created) || left <= 0) return;
    std::printf("  shell editor calls, %lld more\n", left);
    std::fflush(stdout);
    m_calls += MoreCalls(m_client, left);
}

}  // namespace bench
