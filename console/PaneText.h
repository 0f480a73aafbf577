// The text of the output pane as lines, addressed the way an edit control
// addresses its text: by character offset into the whole text, in which every
// line but the last is followed by the two characters "\r\n". Only "\r\n"
// breaks a line; a lone "\r" or "\n" is a character of its line.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

class PaneText {
public:
    // Characters in the whole text, line breaks included.
    std::size_t Length() const;
    // Lines; an empty text is one empty line.
    int LineCount() const { return static_cast<int>(m_lines.size()); }
    // The line's text, without its line break; `line` must be in range.
    const std::string& Line(int line) const { return m_lines[static_cast<std::size_t>(line)]; }
    // Offset of the line's first character; past the last line, Length().
    std::size_t LineIndex(int line) const;
    // The line that holds offset `at` (offsets past the end give the last).
    int LineFromChar(std::size_t at) const;
    // Brings an offset into the text and off the middle of a line break (the
    // "\n" of "\r\n"), where no caret can stand.
    std::size_t Normalize(std::size_t at) const;

    // The text from `from` to `to` (any order, clamped to the text).
    std::string Text(std::size_t from, std::size_t to) const;
    std::string Text() const { return Text(0, Length()); }

    // Replaces the text between the two offsets (any order, normalized) by
    // `text`; returns the offset just after the inserted text.
    std::size_t Replace(std::size_t from, std::size_t to, std::string_view text);
    void SetText(std::string_view text) { Replace(0, Length(), text); }

private:
    // Offsets of every line's first character, rebuilt after a change.
    const std::vector<std::size_t>& Starts() const;

    std::deque<std::string> m_lines{std::string()};
    mutable std::vector<std::size_t> m_starts;
    mutable bool m_startsValid = false;
};
