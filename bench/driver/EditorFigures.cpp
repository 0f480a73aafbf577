#include "EditorFigures.h"

#include <cstdio>

#include "OleString.h"
#include "Harness.h"
#include "EditorClient.h"
#include "FloorIds.h"
#include "Qpc.h"
#include "Stats.h"
#include "UniqueHandle.h"

namespace bench {

namespace {

constexpr int kWarmUpCalls = 100;
constexpr double kFloorFactor = 1.2;
constexpr std::size_t kReplyLength = 16383;

// Makes `count` timed calls after a few untimed ones; the first failure stops it.
template <typename Call>
HRESULT TimeEach(long long count, std::vector<double>& times, Call call) {
    for (int i = 0; i < kWarmUpCalls; ++i)
        if (const HRESULT hr = call(); FAILED(hr)) return hr;
    times.reserve(static_cast<std::size_t>(count));
    for (long long i = 0; i < count; ++i) {
        const std::int64_t begin = QpcNow();
        const HRESULT hr = call();
        const std::int64_t end = QpcNow();
        if (FAILED(hr)) return hr;
        times.push_back(QpcToMicroseconds(end - begin));
    }
    return S_OK;
}

// The arguments every call passes; the engine is told to answer each
// property request with kReplyLength characters.
struct CallArguments {
    fw::OleString command{::SysAllocString(L"bench")};
    fw::OleString first{::SysAllocString(L"bench")};
    fw::OleString second{::SysAllocString(L"prop")};
    fw::OleString value{::SysAllocString(L"value")};
};

CallTimes TimeClient(EditorClient& client, long long count) {
    const CallArguments args;
    CallTimes times;
    HRESULT hr = TimeEach(count, times.execUs, [&] { return client.Exec(args.command.Get()); });
    if (SUCCEEDED(hr))
        hr = TimeEach(count, times.getPropUs,
                      [&] { return client.GetProp(args.first.Get(), args.second.Get(), times.replyLength); });
    if (SUCCEEDED(hr))
        hr = TimeEach(count, times.setPropUs,
                      [&] { return client.SetProp(args.first.Get(), args.second.Get(), args.value.Get()); });
    times.result = hr;
    return times;
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

void AddRows(ResultTable& table, const std::string& member, const std::vector<double>& shell,
             const std::vector<double>& floor) {
    for (double percentile : {50.0, 99.0}) {
        const double s = Percentile(shell, percentile);
        const double f = Percentile(floor, percentile);
        table.Add({member + (percentile == 50 ? " round trip median (us)" : " round trip p99 (us)"), Fixed(s, 0),
                   Fixed(f, 0), RatioText(s, f), "<= 1.2x floor", Verdict(s <= kFloorFactor * f)});
    }
}

std::string Describe(HRESULT hr) {
    char text[32];
    std::snprintf(text, sizeof text, "call failed 0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

}  // namespace

CallTimes TimeFloorCalls(const Paths& paths, const Options& options) {
    std::printf("Editor-call floor, %lld calls of each member\n", options.calls);
    std::fflush(stdout);
    // The server sets the event once its class is registered as running.
    const fw::UniqueHandle ready(::CreateEventA(nullptr, TRUE, FALSE, kFloorReadyEvent));
    Child server(paths.Floor("floor_comserver"), "-Embedding", paths.benchDir);
    CallTimes times;
    if (!ready.Get() || ::WaitForSingleObject(ready.Get(), 30000) != WAIT_OBJECT_0) {
        times.result = CO_E_SERVER_EXEC_FAILURE;
        return times;
    }
    const MemorySample readyMemory = server.Memory();
    EditorClient client;
    if (const HRESULT hr = client.Create(CLSID_BenchFloorServer); FAILED(hr)) {
        times.result = hr;
        return times;
    }
    const MemorySample made = server.Memory();
    times = TimeClient(client, options.calls);
    times.serverReady = readyMemory;
    times.serverMade = made;
    times.serverAfter = server.Memory();
    client.Release();
    server.WaitExit(std::chrono::seconds(10));
    return times;
}

EditorCalls::EditorCalls(const CLSID& clsid, const Options& options, const CallTimes& floor,
                         ResultTable& table)
    : m_created(m_client.Create(clsid)), m_options(options), m_floor(floor), m_table(table) {}

void EditorCalls::Timed() {
    std::printf("  shell editor calls, %lld of each member\n", m_options.calls);
    std::fflush(stdout);
    if (FAILED(m_created)) {
        m_table.Add({"editor calls", "", "", "", "no server object: " + Describe(m_created), "FAIL"});
        return;
    }
    const CallTimes shell = TimeClient(m_client, m_options.calls);
    m_calls += static_cast<long long>(shell.execUs.size() + shell.getPropUs.size() + shell.setPropUs.size()) +
               3 * kWarmUpCalls;
    if (FAILED(shell.result) || FAILED(m_floor.result)) {
        const bool shellFailed = FAILED(shell.result);
        m_table.Add({"editor calls", "", "", "",
                     (shellFailed ? "shell: " : "floor: ") + Describe(shellFailed ? shell.result : m_floor.result),
                     "FAIL"});
        return;
    }
    AddRows(m_table, "Exec", shell.execUs, m_floor.execUs);
    AddRows(m_table, "GetProp 16383 chars", shell.getPropUs, m_floor.getPropUs);
    AddRows(m_table, "SetProp", shell.setPropUs, m_floor.setPropUs);
    m_table.Add({"GetProp reply length (chars)", std::to_string(shell.replyLength),
                 std::to_string(m_floor.replyLength), "", std::to_string(kReplyLength),
                 Verdict(shell.replyLength == kReplyLength)});
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
