#include "ProcessMemory.h"

#include <psapi.h>
#include <tlhelp32.h>

#include "UniqueHandle.h"

namespace vt {

MemorySample ReadMemory(HANDLE process) {
    MemorySample sample;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!process || !::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                            sizeof counters))
        return sample;
    sample.workingSetKiB = static_cast<double>(counters.WorkingSetSize) / 1024;
    sample.peakWorkingSetKiB = static_cast<double>(counters.PeakWorkingSetSize) / 1024;
    // Wine leaves PrivateUsage at 0 for another process; the commit charge
    // (PagefileUsage) is the same figure there.
    const SIZE_T privateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    sample.privateKiB = static_cast<double>(privateBytes) / 1024;
    sample.threads = ThreadCount(::GetProcessId(process));
    sample.valid = true;
    return sample;
}

MemorySample ReadMemoryById(DWORD pid) {
    const fw::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    return ReadMemory(process.Get());
}

int ThreadCount(DWORD pid) {
    const fw::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot || pid == 0) return 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot.Get(), &entry); more; more = ::Thread32Next(snapshot.Get(), &entry))
        if (entry.th32OwnerProcessID == pid) ++count;
    return count;
}

}  // namespace vt
