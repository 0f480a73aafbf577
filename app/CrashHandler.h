// The last word of a process that dies of an unhandled fault: CRITICAL log
// lines, and the log stream's buffer flushed to disk, so that the lines just
// before the crash are never lost, and a crash dump beside the log. In normal
// running the log stays an unflushed buffered stream.
#pragma once

#include <windows.h>

#include <type_traits>

void InstallCrashHandler();

// Runs body(context) inside the engine-fault guard. A fault the engine does
// not handle itself ends the process as an unhandled one does (the CRITICAL
// lines, then the end), also where a system frame above the call would catch
// it and go on: Wine, and 32-bit programs on 64-bit Windows, drop faults
// inside window procedures that the system calls back (the console's first
// paint), and the RPC runtime turns a fault inside an automation call into an
// error for the client. A shell that went on would run an engine left
// half-way through a call.
//
// The guard is a frame-based handler below the caller, so the engine's own
// handlers, further down the stack, are asked first. C++ exceptions pass
// through it untouched.
extern "C" void RunEngineGuarded(void (*body)(void*), void* context);

// Every call into the engine library goes through here.
template <class Call>
void GuardEngineCall(Call&& call) {
    using CallType = std::remove_reference_t<Call>;
    RunEngineGuarded([](void* context) { (*static_cast<CallType*>(context))(); },
                     const_cast<void*>(static_cast<const void*>(&call)));
}
