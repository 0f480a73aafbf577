#include "Files.h"

#include <windows.h>

#include <stdexcept>

#include "UniqueHandle.h"

namespace vt {

bool FileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(child.c_str());
            }
        } while (::FindNextFileA(find, &data));
        ::FindClose(find);
    }
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryA(path.c_str());
}

std::string ReadFileBytes(const std::string& path) {
    std::string content;
    if (const fw::UniqueFile file = fw::OpenFile(path.c_str(), "rb")) {
        char buffer[65536];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) content.append(buffer, got);
    }
    return content;
}

bool WriteFileBytes(const std::string& path, const std::string& content) {
    fw::UniqueFile file = fw::OpenFile(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(content.data(), 1, content.size(), file.get()) == content.size();
    return std::fclose(file.release()) == 0 && written;
}

void WriteFile(const std::string& path, const std::string& content) {
    if (!WriteFileBytes(path, content)) throw std::runtime_error("cannot write " + path);
}

}  // namespace vt
