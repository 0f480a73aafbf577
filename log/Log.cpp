#include "Log.h"

#include <share.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <mutex>
#include <string>
#include <utility>

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

// Serialises the log file: each line's write, and the open and close that
// swap PLATFORM.LogFile. Recursive: OpenLog and CloseLog log their own lines
// while they hold it.
std::recursive_mutex& FileLock() {
    static std::recursive_mutex lock;
    return lock;
}

// The line and its "\n" under the lock, so that lines of several threads
// never interleave. Write errors deliberately ignored; not flushed.
void WriteLine(const char* line) {
    const std::lock_guard<std::recursive_mutex> hold(FileLock());
    if (FILE* file = PLATFORM.LogFile) {
        std::fputs(line, file);
        std::fputc('\n', file);
    }
}

std::atomic<DWORD> g_paneThread{0};  // 0: every thread writes to the pane itself

// Lines logged on other threads, waiting for the pane thread. The pane keeps
// 301 lines at most, so older waiting lines than these would never show.
class WaitingLines {
public:
    static constexpr std::size_t kMost = 400;

    // True when the queue was empty: the console must be told.
    bool Add(const char* line) {
        const std::lock_guard<std::mutex> hold(m_lock);
        const bool wasEmpty = m_lines.empty();
        if (m_lines.size() == kMost) m_lines.pop_front();
        m_lines.emplace_back(line);
        m_any.store(true, std::memory_order_release);
        return wasEmpty;
    }
    // Without a lock or an allocation: the pane thread asks on every line.
    bool Any() const { return m_any.load(std::memory_order_acquire); }
    std::deque<std::string> Take() {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_any.store(false, std::memory_order_relaxed);
        return std::exchange(m_lines, {});
    }

private:
    std::mutex m_lock;
    std::deque<std::string> m_lines;
    std::atomic<bool> m_any{false};
};

WaitingLines& Waiting() {
    static WaitingLines lines;
    return lines;
}

VelmorConsole* PaneConsole() {
    return g_runState.load(std::memory_order_relaxed) != kRunStopped ? theApp.m_pConsole
                                                                        : nullptr;
}

bool OnPaneThread() {
    const DWORD pane = g_paneThread.load(std::memory_order_relaxed);
    return pane == 0 || pane == ::GetCurrentThreadId();
}

}  // namespace

void SetLogPaneThread(unsigned long threadId) { g_paneThread.store(threadId); }

void ShowWaitingLogLines() {
    if (!OnPaneThread() || !Waiting().Any()) return;
    const std::deque<std::string> lines = Waiting().Take();
    VelmorConsole* console = PaneConsole();
    if (!console) return;  // the console has gone: the file has them
    for (const std::string& line : lines) console->AppendOutput(line);
}

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
    if (VelmorConsole* console = PaneConsole()) {
        if (OnPaneThread()) {
            ShowWaitingLogLines();  // lines of other threads logged before this one
            console->AppendOutput(line);
        } else if (Waiting().Add(line)) {
            HWND window = std::atomic_ref<HWND>(console->m_hWnd).load(std::memory_order_relaxed);
            ::PostMessageA(window, kLogLinesWaitingMessage, 0, 0);  // never waits
        }
    }
    WriteLine(line);
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

    const std::lock_guard<std::recursive_mutex> hold(FileLock());
    if (PLATFORM.LogFile) CloseLog();

    // A name that does not fit LogFileName is refused: a cut name would open
    // some other file.
    if (!nameFits) {
        Log(1, "Failed to open log");
        return;
    }
    if (name) std::strcpy(PLATFORM.LogFileName, newName);

    // Denied to other writers while open: a second shell in the same folder
    // fails to open it rather than truncate it under this one. Readers may
    // read it meanwhile.
    PLATFORM.LogFile = ::_fsopen(PLATFORM.LogFileName, "w+t", _SH_DENYWR);
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
    const std::lock_guard<std::recursive_mutex> hold(FileLock());
    if (!PLATFORM.LogFile) return;
    Log(1, closed);
    std::fclose(PLATFORM.LogFile);  // errors deliberately ignored
    PLATFORM.LogFile = nullptr;
}
