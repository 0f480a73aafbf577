#include "CrashHandler.h"

#include <cstdio>

#include "engine/vmserver.h"
#include "log/Log.h"

namespace {

// Straight to the file: the window that shows the pane is going away with
// the process, and touching it from a faulted state could fault again.
void LogFatalException(const EXCEPTION_RECORD* record) {
    FILE* file = PLATFORM.LogFile;
    if (!file) return;
    char text[128];
    std::snprintf(text, sizeof text, "Unhandled exception 0x%08lX at %p; the shell ends",
                  record ? static_cast<unsigned long>(record->ExceptionCode) : 0ul,
                  record ? record->ExceptionAddress : nullptr);
    char line[kLogLineSize];
    FormatLogLine(line, sizeof line, 2, text);
    std::fputs(line, file);
    std::fputc('\n', file);
    std::fflush(file);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
    LogFatalException(info ? info->ExceptionRecord : nullptr);
    // End the process here, without the system's crash dialog.
    return EXCEPTION_EXECUTE_HANDLER;
}

EXCEPTION_DISPOSITION NTAPI OnEngineFault(EXCEPTION_RECORD* record, void*, CONTEXT*, void*) {
    // Unwinding on the way to a handler further down: not ours to stop.
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    LogFatalException(record);
    ::TerminateProcess(::GetCurrentProcess(), record->ExceptionCode);
    return ExceptionContinueSearch;
}

// The thread information block, through its self pointer at fs:[0x18]
// (read directly: GCC's array-bounds check misreads the fs-relative
// intrinsic in optimised builds).
NT_TIB* ThreadInformation() {
    NT_TIB* tib;
    asm volatile("movl %%fs:0x18, %0" : "=r"(tib));
    return tib;
}

}  // namespace

void InstallCrashHandler() {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(&OnUnhandledException);
}

EngineFaultFrame::EngineFaultFrame() {
    NT_TIB* tib = ThreadInformation();
    m_record.Next = tib->ExceptionList;
    m_record.Handler = &OnEngineFault;
    tib->ExceptionList = &m_record;
}

EngineFaultFrame::~EngineFaultFrame() { ThreadInformation()->ExceptionList = m_record.Next; }
