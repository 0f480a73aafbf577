// Runs a client program to its end, its output captured through files (a
// shell that OLE starts for the client inherits the client's handles, so a
// pipe would stay open as long as that shell runs).
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace vt {

struct ChildResult {
    bool finished = false;  // false: killed at the time-out
    DWORD exitCode = 0;
    std::string out;
    std::string err;
};

// Runs `commandLine` in `directory`; stdout and stderr go to files beside
// `outputBase` (outputBase + ".out", + ".err").
ChildResult RunChild(const std::string& commandLine, const std::string& directory,
                     const std::string& outputBase,
                     std::chrono::milliseconds timeout = std::chrono::seconds(60));

// Runs `command` with the host's /bin/sh, outside Wine, in the Unix
// directory `unixDirectory`, with this process's environment plus
// `environment`. Wine starts host programs but does not track them, so the
// command's output and exit status travel through files beside the Unix path
// `unixOutputBase` (".out", ".err", ".status"), which is waited for.
ChildResult RunHostCommand(const std::string& command, const std::string& unixDirectory,
                           const std::string& unixOutputBase,
                           const std::vector<std::pair<std::string, std::string>>& environment = {},
                           std::chrono::milliseconds timeout = std::chrono::seconds(60));

// The staged velmorctl.exe, and Wine's cscript.exe.
std::string VelmorctlPath();
std::string CscriptPath();

}  // namespace vt
