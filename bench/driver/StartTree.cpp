#include "StartTree.h"

#include <windows.h>

#include "Harness.h"

namespace bench {

namespace {

bool CopyInto(const std::string& from, const std::string& to) {
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

}  // namespace

std::string MakeStartTree(const Paths& paths, const std::string& name, const std::string& commands) {
    const std::string scratch = paths.benchDir + "\\scratch";
    const std::string root = scratch + "\\" + name;
    ::CreateDirectoryA(scratch.c_str(), nullptr);
    RemoveTree(root);
    ::CreateDirectoryA(root.c_str(), nullptr);
    ::CreateDirectoryA((root + "\\System").c_str(), nullptr);
    ::CreateDirectoryA((root + "\\Help").c_str(), nullptr);
    const bool made = CopyInto(paths.distSystem + "\\Velmor.exe", root + "\\System\\Velmor.exe") &&
                      CopyInto(paths.distSystem + "\\Velmor.tlb", root + "\\System\\Velmor.tlb") &&
                      CopyInto(paths.recorderDll, root + "\\System\\vmserver.dll") &&
                      WriteTextFile(root + "\\System\\recorder.cmds", commands);
    return made ? root : std::string();
}

bool RegisterShell(const std::string& root) {
    Child registering(root + "\\System\\Velmor.exe", "/REGISTER", root);
    return registering.Started() && registering.WaitExit(std::chrono::seconds(60));
}

}  // namespace bench
