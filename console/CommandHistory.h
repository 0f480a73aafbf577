// The commands typed into the console's command line, oldest first, and the
// place the user has reached while stepping through them with Up and Down.
// Stepping starts after the newest entry, where the text being typed (the
// draft) belongs; Down past the newest gives the draft back.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CommandHistory {
public:
    static constexpr std::size_t kMaxEntries = 100;

    // Replaces the entries by those given (oldest first), keeping the newest
    // kMaxEntries that IsStorableCommand accepts, with no entry twice in a row.
    void Assign(const std::vector<std::string>& entries);
    const std::deque<std::string>& Entries() const { return m_entries; }

    // Stores an executed command (trimmed) unless it is not storable or equals
    // the newest entry; the oldest entry goes when the history is full.
    // Stepping starts over after the newest entry.
    void Add(std::string_view command);

    // The entry before the one shown, or nullopt at the oldest. `shown` is
    // the command line's text, kept as the draft when stepping starts.
    std::optional<std::string> Previous(std::string_view shown);
    // The entry after the one shown, the draft past the newest, or nullopt
    // when stepping has not started.
    std::optional<std::string> Next();

private:
    std::deque<std::string> m_entries;
    std::size_t m_position = 0;  // index of the entry shown; size(): the draft
    std::string m_draft;
};

// A command the history keeps: not empty, no longer than kMaxCommandLength,
// no white space at either end, and no control character (tab aside), so
// that it reads back from the history file as it was written.
inline constexpr std::size_t kMaxCommandLength = 1024;
bool IsStorableCommand(std::string_view command);
