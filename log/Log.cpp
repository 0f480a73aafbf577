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
#include "engine/Statistics.h"

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

// The file is opened in text mode: each "\n" is written as "\r\n".
constexpr std::size_t kLineEndBytes = 2;

// The line and its "\n" under the lock, so that lines of several threads
// never interleave. Write errors deliberately ignored; not flushed. The bytes
// are counted as the file gets them.
void WriteLine(const char* line, std::size_t length) {
    const std::lock_guard<std::recursive_mutex> hold(FileLock());
    if (FILE* file = PLATFORM.LogFile) {
        std::fputs(line, file);
        std::fputc('\n', file);
        stats::RecordLogFileBytes(length + kLineEndBytes);
    }
}

// True when the text goes on past the 255 characters a line keeps, before
// its first line break: the line is cut.
bool CutAtLength(const char* text) {
    if (!text) return false;
    const std::size_t kept = kTextSize - 1;
    for (std::size_t i = 0; i < kept; ++i)
        if (text[i] == '\0' || text[i] == '\r' || text[i] == '\n') return false;
    return text[kept] != '\0' && text[kept] != '\r' && text[kept] != '\n';
}

// The registered pane and the lines of other threads waiting for it. Only
// the pane's thread registers and unregisters, so it reads m_pane without the
// lock; other threads touch m_pane only under the lock, so that unregistering
// waits out a LinesWaiting in progress.
class PaneLink {
public:
    // The pane keeps 301 lines at most, so older waiting lines than these
    // would never show.
    static constexpr std::size_t kMost = 400;

    void Set(LogPane* pane) {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_pane = pane;
        m_thread.store(pane ? ::GetCurrentThreadId() : 0, std::memory_order_relaxed);
        m_lines.clear();
        m_any.store(false, std::memory_order_relaxed);
    }

    // The pane, on its own thread; null on any other thread or without one.
    LogPane* OnPaneThread() const {
        const DWORD thread = m_thread.load(std::memory_order_relaxed);
        return thread != 0 && thread == ::GetCurrentThreadId() ? m_pane : nullptr;
    }

    // A line of another thread; dropped while no pane is registered. The
    // first line of an empty queue tells the pane.
    void Add(const char* line) {
        const std::lock_guard<std::mutex> hold(m_lock);
        if (!m_pane) return;
        const bool wasEmpty = m_lines.empty();
        if (m_lines.size() == kMost) m_lines.pop_front();
        m_lines.emplace_back(line);
        m_any.store(true, std::memory_order_release);
        if (wasEmpty) m_pane->LinesWaiting();  // only posts
    }

    // Without a lock or an allocation: the pane's thread asks on every line.
    bool Any() const { return m_any.load(std::memory_order_acquire); }

    std::deque<std::string> Take() {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_any.store(false, std::memory_order_relaxed);
        return std::exchange(m_lines, {});
    }

private:
    std::mutex m_lock;
    LogPane* m_pane = nullptr;  // not owned
    std::atomic<DWORD> m_thread{0};
    std::deque<std::string> m_lines;
    std::atomic<bool> m_any{false};
};

PaneLink& Pane() {
    static PaneLink link;
    return link;
}

thread_local LogCapture* t_capture = nullptr;  // not owned

}  // namespace

LogCapture* SetLogCapture(LogCapture* capture) noexcept { return std::exchange(t_capture, capture); }

void SetLogPane(LogPane* pane) { Pane().Set(pane); }

void ShowWaitingLogLines() {
    LogPane* pane = Pane().OnPaneThread();
    if (!pane || !Pane().Any()) return;
    for (const std::string& line : Pane().Take()) pane->ShowLogLine(line);
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

extern "C" void __cdecl Log(int category, const char* text) noexcept {
    char line[kLogLineSize];
    const std::size_t length = FormatLogLine(line, sizeof line, category, text);
    stats::RecordLogLine(category, CutAtLength(text));
    if (t_capture) t_capture->CaptureLogLine(std::string_view(line, length));
    try {
        if (LogPane* pane = Pane().OnPaneThread()) {
            ShowWaitingLogLines();  // lines of other threads logged before this one
            pane->ShowLogLine(line);
        } else {
            Pane().Add(line);
        }
    } catch (...) {
        // Out of memory, or the pane failed: the line still goes to the file.
    }
    try {
        WriteLine(line, length);
    } catch (...) {
        // The file lock could not be taken: the line is lost, as a write error loses it.
    }
}

void Logf(LogCategory category, const char* format, ...) {
    char buffer[kFormatSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);  // cut at 4095 characters
    va_end(args);
    buffer[kFormatSize - 1] = '\0';
    Log(LogNumber(category), buffer);
}

extern "C" void __cdecl EnableLog(unsigned category, unsigned char flag) noexcept {
    if (category < static_cast<unsigned>(kLogCategoryCount)) PLATFORM.LogEnabled[category] = flag;
}

namespace {

void CloseLogFile();

void OpenLogFile(const char* name) {
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
    if (PLATFORM.LogFile) CloseLogFile();

    // A name that does not fit LogFileName is refused: a cut name would open
    // some other file.
    if (!nameFits) {
        Log(LogCategory::Info, "Failed to open log");
        return;
    }
    if (name) std::strcpy(PLATFORM.LogFileName, newName);

    // Denied to other writers while open: a second shell in the same folder
    // fails to open it rather than truncate it under this one. Readers may
    // read it meanwhile.
    PLATFORM.LogFile = ::_fsopen(PLATFORM.LogFileName, "w+t", _SH_DENYWR);
    if (!PLATFORM.LogFile) {
        Log(LogCategory::Info, "Failed to open log");
        return;
    }
    std::fputs(kLogBanner, PLATFORM.LogFile);
    std::size_t bannerBytes = 0;
    for (const char* p = kLogBanner; *p; ++p) bannerBytes += *p == '\n' ? kLineEndBytes : 1;
    stats::RecordLogFileBytes(bannerBytes);
    Log(LogCategory::Info, opened);
}

void CloseLogFile() {
    char stamp[128];
    TimeStamp(stamp, sizeof stamp);
    char closed[160];
    std::snprintf(closed, sizeof closed, "Log file closed, %s", stamp);
    const std::lock_guard<std::recursive_mutex> hold(FileLock());
    if (!PLATFORM.LogFile) return;
    Log(LogCategory::Info, closed);
    std::fclose(PLATFORM.LogFile);  // errors deliberately ignored
    PLATFORM.LogFile = nullptr;
}

}  // namespace

// Only the lock can throw (std::system_error): then the log stays as it was.
extern "C" void __cdecl OpenLog(const char* name) noexcept {
    try {
        OpenLogFile(name);
    } catch (...) {
    }
}

extern "C" void __cdecl CloseLog() noexcept {
    try {
        CloseLogFile();
    } catch (...) {
    }
}
