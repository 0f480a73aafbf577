// The recording engine's journal: one line per call into the engine, in call
// order, flushed as written. Read whole (Lines and what builds on it) or as it
// grows (Poll reads only what was appended since the last one, so watching a
// long run stays cheap); the two ways keep no state in common.
//
// Lines Poll parses:
//   pServerTick n=<count> t=<microseconds since pInitAll>
//   time <label> qpc=<counter> us=<microseconds>      from "rec.time"
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vt {

struct TimeNote {
    std::string label;
    std::int64_t counter = 0;  // performance counter when the timed command began
    double microseconds = 0;   // how long it took
};

class Journal {
public:
    explicit Journal(std::string path) : m_path(std::move(path)) {}

    const std::string& Path() const { return m_path; }
    // Complete lines of the whole file as it is now.
    std::vector<std::string> Lines() const;
    // Lines that start with `prefix`.
    std::vector<std::string> Matching(const std::string& prefix) const;
    size_t Count(const std::string& prefix) const { return Matching(prefix).size(); }
    bool Contains(const std::string& line) const;

    // Waits until some line starts with `prefix`; false on timeout.
    bool WaitFor(const std::string& prefix,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
    // Waits until `count` lines start with `prefix`.
    bool WaitForCount(const std::string& prefix, size_t count,
                      std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

    // Reads what was appended since the last Poll; complete lines only.
    void Poll();
    const std::vector<double>& TickTimes() const { return m_ticks; }  // microseconds
    const std::vector<TimeNote>& Times() const { return m_times; }
    std::size_t LineCount() const { return m_polledLines; }
    bool Started() const { return m_started; }  // pInitAll polled
    // The last note with this label, polling until one arrives; none on timeout.
    std::optional<TimeNote> WaitForTime(const std::string& label, std::chrono::milliseconds timeout);
    bool WaitStarted(std::chrono::milliseconds timeout);

private:
    void Parse(const std::string& line);

    std::string m_path;
    std::int64_t m_offset = 0;
    std::string m_partial;
    std::size_t m_polledLines = 0;
    bool m_started = false;
    std::vector<double> m_ticks;
    std::vector<TimeNote> m_times;
};

// Escapes a string the way the journal writes it inside double quotes.
std::string JournalQuote(const std::string& text);

}  // namespace vt
