#include "CrashHandler.h"

#include <windows.h>

#include <cstdio>

#include "engine/vmserver.h"
#include "log/Log.h"

namespace {

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info ? info->ExceptionRecord : nullptr;
    // Straight to the file: the window that shows the pane is going away with
    // the process, and touching it from a faulted state could fault again.
    if (FILE* file = PLATFORM.LogFile) {
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
    // End the process here, without the system's crash dialog.
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void InstallCrashHandler() {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(&OnUnhandledException);
}
