#include "ScratchTree.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>

#include "WinePath.h"

namespace vt {

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
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) content.append(buffer, n);
        std::fclose(f);
    }
    return content;
}

namespace {
void Copy(const std::string& from, const std::string& to) {
    if (!::CopyFileA(from.c_str(), to.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + from + " to " + to);
}
}  // namespace

ScratchTree::ScratchTree(const std::string& name, bool withTypeLibrary)
    : m_root(ToWindowsPath(VELMOR_SCRATCH_ROOT) + "\\" + name) {
    RemoveTree(m_root);
    ::CreateDirectoryA(m_root.c_str(), nullptr);
    ::CreateDirectoryA(System().c_str(), nullptr);
    ::CreateDirectoryA(Path("Help").c_str(), nullptr);
    Copy(ToWindowsPath(VELMOR_SHELL_EXE), System() + "\\Velmor.exe");
    Copy(ToWindowsPath(VELMOR_RECORDER_DLL), System() + "\\vmserver.dll");
    if (withTypeLibrary) Copy(ToWindowsPath(VELMOR_TLB), System() + "\\Velmor.tlb");
}

bool ScratchTree::Exists(const std::string& relative) const {
    return ::GetFileAttributesA(Path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ScratchTree::Read(const std::string& relative) const {
    return ReadFileBytes(Path(relative));
}

void ScratchTree::Write(const std::string& relative, const std::string& content) const {
    FILE* f = std::fopen(Path(relative).c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + Path(relative));
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
}

void ScratchTree::Remove(const std::string& relative) const {
    ::DeleteFileA(Path(relative).c_str());
}

}  // namespace vt
