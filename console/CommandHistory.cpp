#include "CommandHistory.h"

#include <algorithm>

bool IsStorableCommand(std::string_view command) {
    if (command.empty() || command.size() > kMaxCommandLength) return false;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (blank(command.front()) || blank(command.back())) return false;
    return std::none_of(command.begin(), command.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t') || u == 0x7F;
    });
}

void CommandHistory::Assign(const std::vector<std::string>& entries) {
    m_entries.clear();
    for (const std::string& entry : entries) Add(entry);
    m_position = m_entries.size();
    m_draft.clear();
}

void CommandHistory::Add(std::string_view command) {
    if (IsStorableCommand(command) && (m_entries.empty() || m_entries.back() != command)) {
        m_entries.emplace_back(command);
        if (m_entries.size() > kMaxEntries) m_entries.pop_front();
    }
    m_position = m_entries.size();
    m_draft.clear();
}

std::optional<std::string> CommandHistory::Previous(std::string_view shown) {
    if (m_position == 0) return std::nullopt;
    if (m_position == m_entries.size()) m_draft = shown;
    return m_entries[--m_position];
}

std::optional<std::string> CommandHistory::Next() {
    if (m_position >= m_entries.size()) return std::nullopt;
    if (++m_position == m_entries.size()) return m_draft;
    return m_entries[m_position];
}
