#include "CrashDump.h"

#include <dbghelp.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kKeptDumps = 5;
constexpr DWORD kWriteTimeoutMs = 60000;
constexpr char kDumpPattern[] = "Velmor-*.dmp";

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                          PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION,
                                          PMINIDUMP_CALLBACK_INFORMATION);

// The one request, made ready at start-up: nothing is allocated at the fault.
struct DumpRequest {
    HANDLE start = nullptr;  // the faulting thread asks
    HANDLE done = nullptr;   // the writer answers
    MiniDumpWriteDumpFn write = nullptr;
    EXCEPTION_POINTERS pointers{};
    DWORD threadId = 0;
    char name[64] = {};
    bool written = false;
    DWORD error = 0;
};

DumpRequest g_request;
LONG g_claimed = 0;  // the first fault writes the dump; a second one on another thread does not

// The names sort by time, so the first ones are the oldest. At most kMost are
// looked at: static, as the heap may be unsound.
void RemoveOldDumps() {
    constexpr int kMost = 256;
    static char names[kMost][MAX_PATH];
    int count = 0;
    WIN32_FIND_DATAA found;
    HANDLE find = ::FindFirstFileA(kDumpPattern, &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::snprintf(names[count], MAX_PATH, "%s", found.cFileName);
        ++count;
    } while (count < kMost && ::FindNextFileA(find, &found));
    ::FindClose(find);
    std::qsort(names, count, MAX_PATH, [](const void* a, const void* b) {
        return std::strcmp(static_cast<const char*>(a), static_cast<const char*>(b));
    });
    for (int i = 0; i < count - kKeptDumps; ++i) ::DeleteFileA(names[i]);  // failures ignored
}

void WriteRequestedDump() {
    DumpRequest& r = g_request;
    if (!r.write) {
        r.error = ERROR_PROC_NOT_FOUND;
        return;
    }
    HANDLE file = ::CreateFileA(r.name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        r.error = ::GetLastError();
        return;
    }
    MINIDUMP_EXCEPTION_INFORMATION exception{r.threadId, &r.pointers, FALSE};
    // Stacks, and what they point into: a few MiB, not the whole heap.
    const auto type = static_cast<MINIDUMP_TYPE>(MiniDumpWithIndirectlyReferencedMemory |
                                                 MiniDumpScanMemory);
    r.written = r.write(::GetCurrentProcess(), ::GetCurrentProcessId(), file, type, &exception,
                        nullptr, nullptr);
    if (!r.written) r.error = ::GetLastError();
    ::CloseHandle(file);
    if (!r.written) {
        ::DeleteFileA(r.name);  // a part-written dump helps nobody
        return;
    }
    RemoveOldDumps();
}

DWORD WINAPI WriterThread(void*) {
    // Loaded here, off the GUI thread's start-up, and before any fault.
    if (HMODULE dbghelp = ::LoadLibraryA("dbghelp.dll")) {
        g_request.write = reinterpret_cast<MiniDumpWriteDumpFn>(
            reinterpret_cast<void*>(::GetProcAddress(dbghelp, "MiniDumpWriteDump")));
        // Module symbols are not wanted in the dump; not loading them makes
        // the write seconds shorter under Wine.
        using SymSetOptionsFn = DWORD(WINAPI*)(DWORD);
        if (auto options = reinterpret_cast<SymSetOptionsFn>(
                reinterpret_cast<void*>(::GetProcAddress(dbghelp, "SymSetOptions"))))
            options(SYMOPT_DEFERRED_LOADS | SYMOPT_NO_IMAGE_SEARCH);
    }
    ::WaitForSingleObject(g_request.start, INFINITE);
    WriteRequestedDump();
    ::SetEvent(g_request.done);
    return 0;
}

}  // namespace

void StartCrashDumpWriter() {
    if (g_request.start) return;
    g_request.start = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_request.done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!g_request.start || !g_request.done) return;
    // The handle is not kept: the thread lives as long as the process.
    if (HANDLE thread = ::CreateThread(nullptr, 64 * 1024, &WriterThread, nullptr,
                                       STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr))
        ::CloseHandle(thread);
}

bool WriteCrashDump(EXCEPTION_RECORD* record, CONTEXT* context, char* name, std::size_t size,
                    DWORD& error) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char dumpName[sizeof g_request.name];
    std::snprintf(dumpName, sizeof dumpName, "Velmor-%04u%02u%02u-%02u%02u%02u.dmp", now.wYear,
                  now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    std::snprintf(name, size, "%s", dumpName);
    error = ERROR_NOT_READY;
    if (!g_request.start || !g_request.done) return false;
    if (::InterlockedExchange(&g_claimed, 1) != 0) {
        error = ERROR_BUSY;  // another thread's fault is being written
        return false;
    }
    std::memcpy(g_request.name, dumpName, sizeof dumpName);
    g_request.pointers = {record, context};
    g_request.threadId = ::GetCurrentThreadId();
    ::SetEvent(g_request.start);
    if (::WaitForSingleObject(g_request.done, kWriteTimeoutMs) != WAIT_OBJECT_0) {
        error = ERROR_TIMEOUT;
        return false;
    }
    error = g_request.error;
    return g_request.written;
}
