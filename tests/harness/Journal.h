// The recording engine's journal: one line per call into the engine, in call
// order, flushed as written.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace vt {

class Journal {
public:
    explicit Journal(std::string path) : m_path(std::move(path)) {}

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

private:
    std::string m_path;
};

// Escapes a string the way the journal writes it inside double quotes.
std::string JournalQuote(const std::string& text);

}  // namespace vt
