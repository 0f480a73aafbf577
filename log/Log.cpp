#include "Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "LogBanner.h"
#include "app/RunState.h"
#include "app/VelmorApp.h"
#include "console/VelmorConsole.h"

const char* const g_logNames[kLogCategoryCount] = {
    "CONSOLE", "INFO", "CRITICAL", "WIN", "NET", "ED",    "REND", "FILE",
    "AUDIO",   "RES",  "ACTOR",    "SERVER", "BUG", "INIT", "EXIT", "BSP",
    "TRANS",   "A",    "B",        "C",   "D",   "E",     "F",    "G",
    "H",       "I",    "J",        "K",   "T",   "U",     "V",    "W"};

namespace {

constexpr std::size_t kTextSize = 256;  // at most 255 characters of the text
constexpr std::size_t kFormatSize = 4096;

// "%#c": the long date-and-time form, e.g. "Tuesday, March 14, 1995, 12:41:29".
void TimeStamp(char* out, std::size_t size) {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (!local || std::strftime(out, size, "%#c", local) == 0) out[0] = '\0';
}

}  // namespace

std::size_t FormatLogLine(char* line, std::size_t size, int category, const char* text) {
    if (size == 0) return 0;  // no room even for the terminator: nothing is written
    char cut[kTextSize];
    std::strncpy(cut, text ? text : "", kTextSize - 1);
    cut[kTextSize - 1] = '\0';
    if (char* cr = std::strchr(cut, '\r')) *cr = '\0';
    if (char* lf = std::strchr(cut, '\n')) *lf = '\0';

    int n;
    if (category >= 0 && category < kLogCategoryCount)
        n = std::snprintf(line, size, "%s: %s", PLATFORM.LogNames ? PLATFORM.LogNames[category]
                                                                  : g_logNames[category],
                          cut);
    else
        n = std::snprintf(line, size, "CATEGORY(%d): %s", category, cut);
    if (n < 0) {
        line[0] = '\0';
        return 0;
    }
    return static_cast<std::size_t>(n) < size ? static_cast<std::size_t>(n) : size - 1;
}

extern "C" void __cdecl Log(int category, const char* text) {
    char line[kLogLineSize];
    FormatLogLine(line, sizeof line, category, text);
    if (g_runState.load(std::memory_order_relaxed) != kRunStopped && theApp.m_pConsole)
        theApp.m_pConsole->AppendOutput(line);
    if (FILE* file = PLATFORM.LogFile) {
        std::fputs(line, file);  // write errors deliberately ignored; not flushed
        std::fputc('\n', file);
    }
}

void Logf(int category, const char* format, ...) {
    char buffer[kFormatSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);  // cut at 4095 characters
    va_end(args);
    buffer[kFormatSize - 1] = '\0';
    Log(category, buffer);
}

extern "C" void __cdecl EnableLog(unsigned category, unsigned char flag) {
    if (category < static_cast<unsigned>(kLogCategoryCount)) PLATFORM.LogEnabled[category] = flag;
}

extern "C" void __cdecl OpenLog(const char* name) {
    char stamp[128];
    TimeStamp(stamp, sizeof stamp);
    char opened[160];
    std::snprintf(opened, sizeof opened, "Log file open, %s", stamp);

    // Copied before the old log closes: the name may be the record's own field.
    char newName[kPlatformStringSize];
    bool nameFits = true;
    if (name) {
        nameFits = std::strlen(name) < kPlatformStringSize;
        if (nameFits) std::strcpy(newName, name);
    }

    if (PLATFORM.LogFile) CloseLog();

    // A name that does not fit LogFileName is refused: a cut name would open
    // some other file.
    if (!nameFits) {
        Log(1, "Failed to open log");
        return;
    }
    if (name) std::strcpy(PLATFORM.LogFileName, newName);

    PLATFORM.LogFile = std::fopen(PLATFORM.LogFileName, "w+t");
    if (!PLATFORM.LogFile) {
        Log(1, "Failed to open log");
        return;
    }
    std::fputs(kLogBanner, PLATFORM.LogFile);
    Log(1, opened);
}

extern "C" void __cdecl CloseLog() {
    char stamp[128];
    TimeStamp(stamp, sizeof stamp);
    char closed[160];
    std::snprintf(closed, sizeof closed, "Log file closed, %s", stamp);
    if (!PLATFORM.LogFile) return;
    Log(1, closed);
    std::fclose(PLATFORM.LogFile);  // errors deliberately ignored
    PLATFORM.LogFile = nullptr;
}
