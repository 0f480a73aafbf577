#include "Journal.h"

#include <windows.h>

#include <cstdio>
#include <thread>

#include "ScratchTree.h"

namespace vt {

std::vector<std::string> Journal::Lines() const {
    std::vector<std::string> lines;
    const std::string content = ReadFileBytes(m_path);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) break;  // a line still being written
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> Journal::Matching(const std::string& prefix) const {
    std::vector<std::string> result;
    for (std::string& line : Lines())
        if (line.compare(0, prefix.size(), prefix) == 0) result.push_back(std::move(line));
    return result;
}

bool Journal::Contains(const std::string& line) const {
    for (const std::string& l : Lines())
        if (l == line) return true;
    return false;
}

bool Journal::WaitFor(const std::string& prefix, std::chrono::milliseconds timeout) const {
    return WaitForCount(prefix, 1, timeout);
}

bool Journal::WaitForCount(const std::string& prefix, size_t count,
                           std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (Count(prefix) >= count) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string JournalQuote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c >= 0x7F) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02X", c);
                    out += hex;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

}  // namespace vt
