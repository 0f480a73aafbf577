// The last word of a process that dies of an unhandled fault: a CRITICAL log
// line, and the log stream's buffer flushed to disk, so that the lines just
// before the crash are never lost. In normal running the log stays an
// unflushed buffered stream.
#pragma once

#include <windows.h>

void InstallCrashHandler();

// Lives on the stack around every call into the engine library. A fault the
// engine does not handle itself ends the process as an unhandled one does
// (the CRITICAL line, then the end), also where a system frame above the
// call would catch it and go on: Wine, and 32-bit programs on 64-bit
// Windows, drop faults inside window procedures that the system calls back
// (the console's first paint), and the RPC runtime turns a fault inside an
// automation call into an error for the client. A shell that went on would
// run an engine left half-way through a call.
class EngineFaultFrame {
public:
    EngineFaultFrame();
    ~EngineFaultFrame();
    EngineFaultFrame(const EngineFaultFrame&) = delete;
    EngineFaultFrame& operator=(const EngineFaultFrame&) = delete;

private:
    // A structured-exception registration of this thread's chain; the
    // engine's own handlers, registered below it, are asked first.
    EXCEPTION_REGISTRATION_RECORD m_record;
};
