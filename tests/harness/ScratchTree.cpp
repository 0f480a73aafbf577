#include "ScratchTree.h"

#include <windows.h>

#include <stdexcept>
#include <utility>

#include "WinePath.h"

namespace vt {

std::string ScratchDirectory(const std::string& name) {
    const std::string path = ToWindowsPath(VELMOR_SCRATCH_ROOT) + "\\" + name;
    RemoveTree(path);
    ::CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

void CopyShellInto(const std::string& systemDirectory, bool withTypeLibrary) {
    ::CreateDirectoryA(systemDirectory.c_str(), nullptr);
    const std::pair<const char*, const char*> files[] = {
        {VELMOR_SHELL_EXE, "Velmor.exe"}, {VELMOR_RECORDER_DLL, "vmserver.dll"}, {VELMOR_TLB, "Velmor.tlb"}};
    for (const auto& [from, to] : files) {
        if (!withTypeLibrary && from == files[2].first) continue;
        const std::string source = ToWindowsPath(from);
        const std::string target = systemDirectory + "\\" + to;
        if (!::CopyFileA(source.c_str(), target.c_str(), FALSE))
            throw std::runtime_error("cannot copy " + source + " to " + target);
    }
}

ScratchTree::ScratchTree(const std::string& name, bool withTypeLibrary)
    : m_root(ScratchDirectory(name)) {
    CopyShellInto(System(), withTypeLibrary);
    ::CreateDirectoryA(Path("Help").c_str(), nullptr);
}

bool ScratchTree::Exists(const std::string& relative) const { return FileExists(Path(relative)); }

std::string ScratchTree::Read(const std::string& relative) const {
    return ReadFileBytes(Path(relative));
}

void ScratchTree::Write(const std::string& relative, const std::string& content) const {
    WriteFile(Path(relative), content);
}

void ScratchTree::AddHelp() const {
    for (const char* name : {"velmor.hlp", "velmor.cnt"}) {
        const std::string source = ToWindowsPath(VELMOR_HELP_DIR) + "\\" + name;
        const std::string target = Path("Help\\") + name;
        if (!::CopyFileA(source.c_str(), target.c_str(), FALSE))
            throw std::runtime_error("cannot copy " + source + " to " + target);
    }
}

void ScratchTree::Remove(const std::string& relative) const {
    ::DeleteFileA(Path(relative).c_str());
}

}  // namespace vt
