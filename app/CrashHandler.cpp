#include "CrashHandler.h"

#include <cstdio>
#include <initializer_list>

#include "CrashDump.h"
#include "engine/EngineGuard.h"
#include "engine/vmserver.h"
#include "log/Log.h"

namespace {

void WriteLogLines(FILE* file, std::initializer_list<const char*> messages) {
    char line[kLogLineSize];
    for (const char* message : messages) {
        FormatLogLine(line, sizeof line, LogNumber(LogCategory::Critical), message);
        std::fputs(line, file);
        std::fputc('\n', file);
    }
    std::fflush(file);
}

// Straight to the file: the window that shows the pane is going away with
// the process, and touching it from a faulted state could fault again. The
// first two lines are on disk before the dump is written, in case writing it
// fails in some worse way.
void ReportFatalException(EXCEPTION_RECORD* record, CONTEXT* context) noexcept {
    char text[128];
    std::snprintf(text, sizeof text, "Exception 0x%08lX at %p; the shell ends",
                  record ? static_cast<unsigned long>(record->ExceptionCode) : 0ul,
                  record ? record->ExceptionAddress : nullptr);
    if (FILE* file = PLATFORM.LogFile) WriteLogLines(file, {"Caught general exception", text});

    char name[64];
    DWORD error = 0;
    char dump[160];
    if (WriteCrashDump(record, context, name, sizeof name, error))
        std::snprintf(dump, sizeof dump, "Crash dump written: %s", name);
    else
        std::snprintf(dump, sizeof dump, "Crash dump could not be written: %s (error %lu)", name,
                      static_cast<unsigned long>(error));
    if (FILE* file = PLATFORM.LogFile) WriteLogLines(file, {dump});
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
    ReportFatalException(info ? info->ExceptionRecord : nullptr,
                         info ? info->ContextRecord : nullptr);
    // End the process here, without the system's crash dialog.
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void InstallCrashHandler() {
    StartCrashDumpWriter();
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(&OnUnhandledException);
    SetEngineFaultHandler(&ReportFatalException);
}
