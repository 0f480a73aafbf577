#include "HistoryFile.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "UniqueHandle.h"

std::vector<std::string> ReadHistoryFile(const char* path) {
    const fw::UniqueHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) return {};
    std::string content(static_cast<std::size_t>(std::min<LONGLONG>(size.QuadPart, kMaxHistoryFileBytes)), '\0');
    DWORD read = 0;
    if (!::ReadFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &read, nullptr)) return {};
    content.resize(read);

    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < content.size()) {
        const std::size_t end = std::min(content.find_first_of("\r\n", from), content.size());
        if (end > from) lines.emplace_back(content, from, end - from);
        from = end + 1;
    }
    return lines;
}

bool WriteHistoryFile(const char* path, const std::deque<std::string>& lines) {
    std::string content;
    for (const std::string& line : lines) content.append(line).append("\r\n");

    const std::string temporary = std::string(path) + ".new";
    fw::UniqueHandle file(::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const bool whole = ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written,
                                   nullptr) &&
                       written == content.size() && ::FlushFileBuffers(file.Get());
    if (!file.Close() || !whole ||
        !::MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}
