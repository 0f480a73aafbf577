// The log: category-tagged message lines shown in a pane while one is
// registered (the console, while it is up) and appended to the log file
// while one is open. The four routines with C linkage are the ones the
// platform record hands the engine; they let no exception out.
#pragma once

#include <string_view>

#include "engine/vmserver.h"

inline constexpr char kDefaultLogFileName[] = "Velmor.log";

// The categories the shell itself logs in; the engine uses others of the 32.
enum class LogCategory : int { Console = 0, Info = 1, Critical = 2, Init = 13 };

// A category as the record's Log routine takes it.
constexpr int LogNumber(LogCategory category) { return static_cast<int>(category); }

// The 32 category names, in category order; the record's LogNames points here.
extern const char* const g_logNames[kLogCategoryCount];

extern "C" {
void __cdecl Log(int category, const char* text) noexcept;
void __cdecl EnableLog(unsigned category, unsigned char flag) noexcept;
void __cdecl OpenLog(const char* name) noexcept;
void __cdecl CloseLog() noexcept;
}

inline void Log(LogCategory category, const char* text) noexcept {
    Log(LogNumber(category), text);
}

// Where lines are shown besides the file. A line reaches the pane only while
// the pane is registered, and only on the thread that registered it (the
// pane's thread): ShowLogLine is called there alone. A line logged on any
// other thread is queued, and the first one queued calls LinesWaiting on that
// other thread, which must only post and never wait; the pane's thread then
// calls ShowWaitingLogLines on its next turn. No thread ever waits for the
// pane's thread, and no lock is held while engine code runs.
class LogPane {
public:
    virtual void ShowLogLine(std::string_view line) = 0;
    virtual void LinesWaiting() noexcept = 0;

protected:
    ~LogPane() = default;
};

// Registers the pane for the calling thread, or with null unregisters it.
// Lines still waiting for a pane that goes are dropped: the file has them.
// Once it returns no other thread is inside the pane's LinesWaiting.
void SetLogPane(LogPane* pane);

// On the pane's thread, shows the lines of other threads in the order they
// were logged; elsewhere does nothing.
void ShowWaitingLogLines();

// Hears the lines logged on one thread, each as the pane gets it, while it is
// registered. The remote console registers one around a command it runs, to
// send the command's lines back to its client.
class LogCapture {
public:
    virtual void CaptureLogLine(std::string_view line) noexcept = 0;

protected:
    ~LogCapture() = default;
};

// Registers `capture` for the calling thread (null: none) and returns the one
// it replaces, so that registrations nest. Lines of other threads never reach it.
LogCapture* SetLogCapture(LogCapture* capture) noexcept;

// Formats into 4096 bytes (longer output is cut), then logs.
void Logf(LogCategory category, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Forms one message line: the category's name, ": ", and the text cut at 255
// characters and at its first line break. A category outside 0..31 gets the
// name "CATEGORY(n)"; a null text is the empty text. Returns the length.
std::size_t FormatLogLine(char* line, std::size_t size, int category, const char* text);

// A buffer that holds any line FormatLogLine forms, terminator included.
inline constexpr std::size_t kLogLineSize = 256 + 32;
