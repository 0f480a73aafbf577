// The log: category-tagged message lines shown in the console while it is up
// and appended to the log file while one is open. The four routines with C
// linkage are the ones the platform record hands the engine.
#pragma once

#include "engine/vmserver.h"

inline constexpr char kDefaultLogFileName[] = "Velmor.log";

// The 32 category names, in category order; the record's LogNames points here.
extern const char* const g_logNames[kLogCategoryCount];

extern "C" {
void __cdecl Log(int category, const char* text);
void __cdecl EnableLog(unsigned category, unsigned char flag);
void __cdecl OpenLog(const char* name);
void __cdecl CloseLog();
}

// Formats into 4096 bytes (longer output is cut), then logs.
void Logf(int category, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Forms one message line: the category's name, ": ", and the text cut at 255
// characters and at its first line break. A category outside 0..31 gets the
// name "CATEGORY(n)"; a null text is the empty text. Returns the length.
std::size_t FormatLogLine(char* line, std::size_t size, int category, const char* text);

// A buffer that holds any line FormatLogLine forms, terminator included.
inline constexpr std::size_t kLogLineSize = 256 + 32;
