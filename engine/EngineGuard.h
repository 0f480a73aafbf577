// The engine-fault guard: the frame every call into the engine library runs
// in. A fault the engine does not handle itself ends the process as an
// unhandled one does (the fault handler reports it, then the end), also where
// a system frame above the call would catch it and go on: Wine, and 32-bit
// programs on 64-bit Windows, drop faults inside window procedures that the
// system calls back (the console's first paint), and the RPC runtime turns a
// fault inside an automation call into an error for the client. A shell that
// went on would run an engine left half-way through a call.
//
// The guard is a frame-based handler below the caller, so the engine's own
// handlers, further down the stack, are asked first. C++ exceptions pass
// through it untouched.
#pragma once

#include <windows.h>

#include <type_traits>

// Reports a fault of the engine before the process ends; runs on the faulting
// thread inside the system's exception dispatch.
using EngineFaultHandler = void (*)(EXCEPTION_RECORD* record, CONTEXT* context) noexcept;

// Installed once at start-up, before the first engine call; null reports
// nothing (the process still ends).
void SetEngineFaultHandler(EngineFaultHandler handler) noexcept;

// Runs body(context) inside the guard.
extern "C" void RunEngineGuarded(void (*body)(void*), void* context);

// Runs call() inside the guard.
template <class Call>
void GuardEngineCall(Call&& call) {
    using CallType = std::remove_reference_t<Call>;
    RunEngineGuarded([](void* context) { (*static_cast<CallType*>(context))(); },
                     const_cast<void*>(static_cast<const void*>(&call)));
}
