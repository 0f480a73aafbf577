#include "Journal.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <thread>

namespace bench {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

void Journal::Poll() {
    HANDLE file = ::CreateFileA(m_path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER position;
    position.QuadPart = m_offset;
    std::string fresh;
    if (::SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) {
        char buffer[65536];
        DWORD got = 0;
        while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) fresh.append(buffer, got);
    }
    ::CloseHandle(file);
    m_offset += static_cast<std::int64_t>(fresh.size());

    m_partial += fresh;
    std::size_t begin = 0;
    for (std::size_t end; (end = m_partial.find('\n', begin)) != std::string::npos; begin = end + 1)
        Parse(m_partial.substr(begin, end - begin));
    m_partial.erase(0, begin);
}

void Journal::Parse(const std::string& line) {
    ++m_lines;
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

}  // namespace bench
