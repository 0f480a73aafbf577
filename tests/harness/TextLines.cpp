#include "TextLines.h"

namespace vt {

namespace {

bool StartsWith(const std::string& line, const std::string& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

std::size_t First(int from) { return from < 0 ? 0 : static_cast<std::size_t>(from); }

}  // namespace

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

int IndexOf(const std::vector<std::string>& lines, const std::string& line, int from) {
    for (std::size_t i = First(from); i < lines.size(); ++i)
        if (lines[i] == line) return static_cast<int>(i);
    return -1;
}

int IndexOfPrefix(const std::vector<std::string>& lines, const std::string& prefix, int from) {
    for (std::size_t i = First(from); i < lines.size(); ++i)
        if (StartsWith(lines[i], prefix)) return static_cast<int>(i);
    return -1;
}

int CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    int count = 0;
    for (const std::string& line : lines)
        if (StartsWith(line, prefix)) ++count;
    return count;
}

}  // namespace vt
