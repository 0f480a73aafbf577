// Fills the engine library's platform record once, before the engine starts.
#pragma once

#include "engine/vmserver.h"

// What the record points to of the shell's log.
struct PlatformLogRoutines {
    PlatformLogFn log;
    PlatformEnableLogFn enableLog;
    PlatformOpenLogFn openLog;
    PlatformCloseLogFn closeLog;
    const char* const* names;  // the 32 category names
    const char* fileName;      // the log file's name until OpenLog is given another
};

// cmdLine: the upper-cased command-line copy; exeName: the executable's base
// name. Strings longer than 255 characters are cut to fit the record.
void FillPlatformRecord(const PlatformLogRoutines& log, const char* cmdLine, const char* exeName);
