#include "ChildProcess.h"

#include <stdexcept>

#include "ScratchTree.h"
#include "WinePath.h"

namespace vt {
namespace {

HANDLE CreateOutput(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path);
    return file;
}

}  // namespace

ChildResult RunChild(const std::string& commandLine, const std::string& directory,
                     const std::string& outputBase, std::chrono::milliseconds timeout) {
    const std::string outPath = outputBase + ".out";
    const std::string errPath = outputBase + ".err";
    HANDLE out = CreateOutput(outPath);
    HANDLE err = CreateOutput(errPath);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION info{};
    std::string line = commandLine;
    const BOOL started = ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                                          CREATE_NO_WINDOW, nullptr, directory.c_str(), &startup,
                                          &info);
    ::CloseHandle(out);
    ::CloseHandle(err);
    if (!started) throw std::runtime_error("cannot start " + commandLine);

    ChildResult result;
    result.finished = ::WaitForSingleObject(info.hProcess, static_cast<DWORD>(timeout.count())) ==
                      WAIT_OBJECT_0;
    if (!result.finished) {
        ::TerminateProcess(info.hProcess, 99);
        ::WaitForSingleObject(info.hProcess, 10000);
    }
    ::GetExitCodeProcess(info.hProcess, &result.exitCode);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
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
