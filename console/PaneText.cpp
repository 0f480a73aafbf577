#include "PaneText.h"

#include <algorithm>

namespace {

constexpr std::string_view kBreak = "\r\n";

// `text` cut at every "\r\n": one more part than there are breaks.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (std::size_t at = text.find(kBreak); at != std::string_view::npos; at = text.find(kBreak, from)) {
        parts.push_back(text.substr(from, at - from));
        from = at + kBreak.size();
    }
    parts.push_back(text.substr(from));
    return parts;
}

}  // namespace

const std::vector<std::size_t>& PaneText::Starts() const {
    if (!m_startsValid) {
        m_starts.resize(m_lines.size());
        std::size_t at = 0;
        for (std::size_t i = 0; i < m_lines.size(); ++i) {
            m_starts[i] = at;
            at += m_lines[i].size() + kBreak.size();
        }
        m_startsValid = true;
    }
    return m_starts;
}

std::size_t PaneText::Length() const { return Starts().back() + m_lines.back().size(); }

std::size_t PaneText::LineIndex(int line) const {
    if (line < 0) return 0;
    if (line >= LineCount()) return Length();
    return Starts()[static_cast<std::size_t>(line)];
}

int PaneText::LineFromChar(std::size_t at) const {
    const std::vector<std::size_t>& starts = Starts();
    const auto next = std::upper_bound(starts.begin(), starts.end(), at);
    return static_cast<int>(next - starts.begin()) - 1;
}

std::size_t PaneText::Normalize(std::size_t at) const {
    at = std::min(at, Length());
    const int line = LineFromChar(at);
    const std::size_t end = LineIndex(line) + Line(line).size();
    return std::min(at, end);
}

std::string PaneText::Text(std::size_t from, std::size_t to) const {
    if (from > to) std::swap(from, to);
    from = std::min(from, Length());
    to = std::min(to, Length());
    std::string text;
    text.reserve(to - from);
    for (int line = LineFromChar(from); line < LineCount() && LineIndex(line) < to; ++line) {
        // Columns a to b of the line followed by its break (the last line has none).
        const std::size_t start = LineIndex(line);
        const std::string& s = Line(line);
        const std::size_t withBreak = s.size() + (line + 1 < LineCount() ? kBreak.size() : 0);
        const std::size_t a = from > start ? from - start : 0;
        const std::size_t b = std::min(to - start, withBreak);
        const std::size_t inLine = std::min(b, s.size());
        if (a < inLine) text.append(s, a, inLine - a);
        for (std::size_t k = std::max(a, s.size()); k < b; ++k) text += kBreak[k - s.size()];
    }
    return text;
}

std::size_t PaneText::Replace(std::size_t from, std::size_t to, std::string_view text) {
    if (from > to) std::swap(from, to);
    from = Normalize(from);
    to = Normalize(to);
    const int firstLine = LineFromChar(from);
    const int lastLine = LineFromChar(to);
    const auto first = static_cast<std::size_t>(firstLine);
    const std::string prefix = m_lines[first].substr(0, from - LineIndex(firstLine));
    const std::string suffix = m_lines[static_cast<std::size_t>(lastLine)].substr(to - LineIndex(lastLine));

    m_lines.erase(m_lines.begin() + firstLine + 1, m_lines.begin() + lastLine + 1);
    const std::vector<std::string_view> parts = SplitLines(text);
    m_lines[first] = prefix;
    m_lines[first].append(parts.front());
    m_lines.insert(m_lines.begin() + firstLine + 1, parts.begin() + 1, parts.end());
    std::string& last = m_lines[first + parts.size() - 1];
    const std::size_t caretColumn = last.size();
    last.append(suffix);
    m_startsValid = false;
    return LineIndex(firstLine + static_cast<int>(parts.size()) - 1) + caretColumn;
}
