// The last word of a process that dies of an unhandled fault: CRITICAL log
// lines, and the log stream's buffer flushed to disk, so that the lines just
// before the crash are never lost, and a crash dump beside the log. In normal
// running the log stays an unflushed buffered stream.
#pragma once

// Also makes the crash handler the engine-fault guard's report: a fault in
// the engine logs the same lines and writes the same dump.
void InstallCrashHandler();
