#include "Journal.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "Files.h"
#include "UniqueHandle.h"

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

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

void Journal::Poll() {
    const fw::UniqueHandle file(::CreateFileA(m_path.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    LARGE_INTEGER position;
    position.QuadPart = m_offset;
    std::string fresh;
    if (::SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN)) {
        char buffer[65536];
        DWORD got = 0;
        while (::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
            fresh.append(buffer, got);
    }
    m_offset += static_cast<std::int64_t>(fresh.size());

    m_partial += fresh;
    std::size_t begin = 0;
    for (std::size_t end; (end = m_partial.find('\n', begin)) != std::string::npos; begin = end + 1)
        Parse(m_partial.substr(begin, end - begin));
    m_partial.erase(0, begin);
}

void Journal::Parse(const std::string& line) {
    ++m_polledLines;
    if (StartsWith(line, "pServerTick ")) {
        unsigned long long n = 0;
        unsigned long long t = 0;
        if (std::sscanf(line.c_str(), "pServerTick n=%llu t=%llu", &n, &t) == 2)
            m_ticks.push_back(static_cast<double>(t));
    } else if (StartsWith(line, "time ")) {
        char label[128] = {};
        long long counter = 0;
        long long microseconds = 0;
        if (std::sscanf(line.c_str(), "time %127s qpc=%lld us=%lld", label, &counter, &microseconds) == 3)
            m_times.push_back({label, counter, static_cast<double>(microseconds)});
    } else if (StartsWith(line, "pInitAll")) {
        m_started = true;
    }
}

std::optional<TimeNote> Journal::WaitForTime(const std::string& label, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        Poll();
        for (auto it = m_times.rbegin(); it != m_times.rend(); ++it)
            if (it->label == label) return *it;
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(kPollInterval);
    }
}

bool Journal::WaitStarted(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        Poll();
        if (m_started) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPollInterval);
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
