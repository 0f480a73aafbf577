#include "ChildProcess.h"

#include <stdexcept>

#include "Files.h"
#include "Process.h"
#include "WinePath.h"

namespace vt {

ChildResult RunChild(const std::string& commandLine, const std::string& directory,
                     const std::string& outputBase, std::chrono::milliseconds timeout) {
    const std::string outPath = outputBase + ".out";
    const std::string errPath = outputBase + ".err";
    ChildResult result;
    {
        fw::UniqueHandle out = CreateInheritableFile(outPath);
        fw::UniqueHandle err = CreateInheritableFile(errPath);
        Process child(ProcessStart{"", commandLine, directory, std::nullopt, out.Get(), err.Get(), {}});
        out.Close();
        err.Close();
        if (!child.Started()) throw std::runtime_error("cannot start " + commandLine);
        result.finished = child.WaitExit(timeout);
        child.Kill();
        result.exitCode = child.ExitCode();
    }
    result.out = ReadFileBytes(outPath);
    result.err = ReadFileBytes(errPath);
    return result;
}

std::string VelmorctlPath() { return ToWindowsPath(VELMOR_VELMORCTL_EXE); }

std::string CscriptPath() {
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system) + "\\cscript.exe";
}

}  // namespace vt
