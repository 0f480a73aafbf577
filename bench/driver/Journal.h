// The recording engine's journal, read as it grows: each Poll reads only what
// was appended since the last one, so watching a long run stays cheap.
//
// Lines the bench uses:
//   pServerTick n=<count> t=<microseconds since pInitAll>
//   time <label> qpc=<counter> us=<microseconds>      from "rec.time"
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bench {

struct TimeNote {
    std::string label;
    std::int64_t counter = 0;  // performance counter when the timed command began
    double microseconds = 0;   // how long it took
};

class Journal {
public:
    explicit Journal(std::string path) : m_path(std::move(path)) {}

    // Reads what is new; complete lines only.
    void Poll();

    const std::vector<double>& TickTimes() const { return m_ticks; }  // microseconds
    const std::vector<TimeNote>& Times() const { return m_times; }
    std::size_t LineCount() const { return m_lines; }
    bool Started() const { return m_started; }  // pInitAll seen

    // The last note with this label, polling until one arrives; none on timeout.
    std::optional<TimeNote> WaitForTime(const std::string& label, std::chrono::milliseconds timeout);
    bool WaitStarted(std::chrono::milliseconds timeout);

private:
    void Parse(const std::string& line);

    std::string m_path;
    std::int64_t m_offset = 0;
    std::string m_partial;
    std::size_t m_lines = 0;
    bool m_started = false;
    std::vector<double> m_ticks;
    std::vector<TimeNote> m_times;
};

}  // namespace bench
