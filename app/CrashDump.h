// A minidump of the process when a fault ends it, beside the log, for the
// engine's developers to open in a debugger: the faulting thread's exception
// and context, the loaded modules, every thread's stack and the memory those
// stacks point into. Written by a thread made for the purpose at start-up,
// while the faulting thread waits, so that neither the faulting stack nor the
// heap is relied on. The 5 newest dumps of the folder are kept.
#pragma once

#include <windows.h>

#include <cstddef>

// Makes the writer thread. Once, at start-up, while all is sound.
void StartCrashDumpWriter();

// Writes "Velmor-YYYYMMDD-HHMMSS.dmp" (local time) in the working directory
// for the fault of this thread described by record and context, and leaves
// that name in `name` (cut to `size`). False when no dump could be written;
// `error` then holds the system's error code.
bool WriteCrashDump(EXCEPTION_RECORD* record, CONTEXT* context, char* name, std::size_t size,
                    DWORD& error);
