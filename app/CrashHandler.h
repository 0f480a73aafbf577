// The last word of a process that dies of an unhandled fault: a CRITICAL log
// line, and the log stream's buffer flushed to disk, so that the lines just
// before the crash are never lost. In normal running the log stays an
// unflushed buffered stream.
#pragma once

void InstallCrashHandler();
