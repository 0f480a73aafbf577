#include "Paths.h"

#include <windows.h>

#include "UniqueFile.h"

namespace bench {

namespace {

std::string Parent(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

Paths Paths::FromDriver() {
    char module[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, module, sizeof module);
    Paths paths;
    paths.benchDir = Parent(n > 0 && n < sizeof module ? std::string(module, n) : std::string());
    const std::string build = Parent(paths.benchDir);
    paths.distSystem = build + "\\dist\\System";
    paths.recorderDll = build + "\\engines\\recorder\\vmserver.dll";
    return paths;
}

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
    ::RemoveDirectoryA(path.c_str());
}

bool WriteTextFile(const std::string& path, const std::string& content) {
    UniqueFile file = OpenFile(path.c_str(), "wb");
    return file && std::fwrite(content.data(), 1, content.size(), file.get()) == content.size();
}

std::string ReadTextFile(const std::string& path) {
    std::string content;
    if (UniqueFile file = OpenFile(path.c_str(), "rb")) {
        char buffer[65536];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) content.append(buffer, got);
    }
    return content;
}

}  // namespace bench
