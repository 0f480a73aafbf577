#include "ChildProcess.h"

#include <stdexcept>

#include "Files.h"
#include "Process.h"
#include "Wait.h"
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

ChildResult RunHostCommand(const std::string& command, const std::string& unixDirectory,
                           const std::string& unixOutputBase,
                           const std::vector<std::pair<std::string, std::string>>& environment,
                           std::chrono::milliseconds timeout) {
    const std::string status = unixOutputBase + ".status";
    for (const char* suffix : {".out", ".err", ".status"})
        ::DeleteFileA(ToWindowsPath(unixOutputBase + suffix).c_str());
    // The status file appears whole, by a rename, once the command has ended.
    const std::string script = "cd '" + unixDirectory + "' && { " + command + "; } >'" + unixOutputBase +
                               ".out' 2>'" + unixOutputBase + ".err'; echo $? >'" + status + ".new' && mv '" +
                               status + ".new' '" + status + "'";
    std::string escaped;  // one argument by the Windows rules; the script holds no backslash
    for (const char c : script) {
        if (c == '"') escaped += '\\';
        escaped += c;
    }
    {
        Process shell(ProcessStart{"Z:\\bin\\sh", "-c \"" + escaped + "\"", ToWindowsPath(unixDirectory),
                                   std::nullopt, nullptr, nullptr, environment});
        // Wine hands back no process handle for a host program: only a
        // failure says anything.
        if (!shell.Started() && shell.LastError() != 0)
            throw std::runtime_error("cannot start /bin/sh (error " + std::to_string(shell.LastError()) + ")");
    }
    ChildResult result;
    const std::string statusPath = ToWindowsPath(status);
    result.finished = WaitUntil([&] { return FileExists(statusPath); }, timeout);
    if (result.finished) result.exitCode = static_cast<DWORD>(std::stoul(ReadFileBytes(statusPath)));
    result.out = ReadFileBytes(ToWindowsPath(unixOutputBase + ".out"));
    result.err = ReadFileBytes(ToWindowsPath(unixOutputBase + ".err"));
    return result;
}

std::string VelmorctlPath() { return ToWindowsPath(VELMOR_VELMORCTL_EXE); }

std::string CscriptPath() {
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system) + "\\cscript.exe";
}

}  // namespace vt
