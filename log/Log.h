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

// Log may be called on any thread. A line reaches the file whole, in one
// write under a lock that also covers OpenLog's and CloseLog's swap of the
// stream. On the pane thread (the console's, set by SetLogPaneThread) a line
// goes straight to the pane; on any other thread it is queued, the console
// is posted kLogLinesWaitingMessage, and the pane thread shows the queue in
// order on its next turn (ShowWaitingLogLines). No thread ever waits for the
// pane thread, and no lock is held while engine code runs.
void SetLogPaneThread(unsigned long threadId);
void ShowWaitingLogLines();
inline constexpr UINT kLogLinesWaitingMessage = WM_APP + 0x120;

// Formats into 4096 bytes (longer output is cut), then logs.
void Logf(int category, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Forms one message line: the category's name, ": ", and the text cut at 255
// characters and at its first line break. A category outside 0..31 gets the
// name "CATEGORY(n)"; a null text is the empty text. Returns the length.
std::size_t FormatLogLine(char* line, std::size_t size, int category, const char* text);

// A buffer that holds any line FormatLogLine forms, terminator included.
inline constexpr std::size_t kLogLineSize = 256 + 32;
