// Runs a client program to its end, its output captured through files (a
// shell that OLE starts for the client inherits the client's handles, so a
// pipe would stay open as long as that shell runs).
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

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

// The staged velmorctl.exe, and Wine's cscript.exe.
std::string VelmorctlPath();
std::string CscriptPath();

}  // namespace vt
