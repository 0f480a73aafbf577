// Fills the engine library's platform record once, before the engine starts.
#pragma once

// cmdLine: the upper-cased command-line copy; exeName: the executable's base
// name. Strings longer than 255 characters are cut to fit the record.
void FillPlatformRecord(const char* cmdLine, const char* exeName);
