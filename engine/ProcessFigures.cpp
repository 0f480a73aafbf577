#include "ProcessFigures.h"

#include <windows.h>
#include <psapi.h>

namespace stats {

namespace {

// FILETIME and its differences count 100 ns.
double Seconds(std::uint64_t hundredNanoseconds) { return static_cast<double>(hundredNanoseconds) / 1e7; }

std::uint64_t Value(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

#define VELMOR_STRING2(x) #x
#define VELMOR_STRING(x) VELMOR_STRING2(x)

}  // namespace

ProcessFigures ReadProcessFigures() noexcept {
    ProcessFigures figures;
    HANDLE process = ::GetCurrentProcess();  // a pseudo handle: nothing to close

    FILETIME created, exited, kernel, user, now;
    if (::GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        ::GetSystemTimeAsFileTime(&now);
        if (Value(now) > Value(created)) figures.uptimeSeconds = Seconds(Value(now) - Value(created));
        figures.cpuSeconds = Seconds(Value(kernel) + Value(user));
    }

    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        // Wine leaves PrivateUsage at 0; the commit charge is the same figure.
        figures.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
        figures.workingSetBytes = memory.WorkingSetSize;
    }

    DWORD handles = 0;
    if (::GetProcessHandleCount(process, &handles)) figures.handles = handles;
    figures.userObjects = ::GetGuiResources(process, GR_USEROBJECTS);
    figures.gdiObjects = ::GetGuiResources(process, GR_GDIOBJECTS);
    return figures;
}

const char* BuildVersion() noexcept { return VELMOR_STRING(VELMOR_VERSION); }

const char* BuildArchitecture() noexcept {
#if defined(_WIN64)
    return "win64";
#else
    return "win32";
#endif
}

}  // namespace stats
