// Another process's memory read from outside, through its handle or its id
// (a shell that OLE started is known by its id only).
#pragma once

#include <windows.h>

namespace vt {

struct MemorySample {
    double workingSetKiB = 0;
    double peakWorkingSetKiB = 0;
    double privateKiB = 0;  // the commit charge: what the process holds, paged or not
    int threads = 0;        // each holds a stack: a megabyte of private bytes under Wine
    bool valid = false;
};

// From a handle with query and read access, or from the process's id; not
// valid when the counters cannot be read.
MemorySample ReadMemory(HANDLE process);
MemorySample ReadMemoryById(DWORD pid);
// The process's threads now; 0 if they cannot be listed.
int ThreadCount(DWORD pid);

}  // namespace vt
