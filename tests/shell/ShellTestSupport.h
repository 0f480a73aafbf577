// Helpers shared by the shell's tests: the platform record as the engine
// dumped it, the log file and the pane split into lines, the registry entries
// of the automation server.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "Journal.h"
#include "engine/vmserver.h"
#include "ScratchTree.h"
#include "ShellProcess.h"
#include "ShellWindowFind.h"
#include "Wait.h"
#include "TextLines.h"

namespace vt {

// The 4096 bytes of the platform record that "rec.dump FILE" wrote.
class RecordDump {
public:
    explicit RecordDump(std::string bytes) : m_bytes(std::move(bytes)) {}

    bool Complete() const { return m_bytes.size() == 4096; }
    // A pointer field: as wide as a pointer of this build.
    std::uintptr_t Pointer(std::size_t offset) const;
    unsigned char Byte(std::size_t offset) const {
        return static_cast<unsigned char>(m_bytes.at(offset));
    }
    // The NUL-terminated string of the 256-byte field at `offset`; the whole
    // field if it holds no NUL (which the tests report as a fault).
    std::string Field(std::size_t offset) const;
    bool FieldTerminated(std::size_t offset) const;
    // True when bytes [from, to) are all 0.
    bool ZeroFrom(std::size_t from, std::size_t to) const;
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

// Offsets of the record's fields, from the engine boundary's table for this
// build's architecture.
namespace record {
inline constexpr const PlatformRecordLayout& kAt = kPlatformRecordLayout;
inline constexpr std::size_t kLog = kAt.Log, kEnableLog = kAt.EnableLog, kOpenLog = kAt.OpenLog,
                             kCloseLog = kAt.CloseLog;
inline constexpr std::size_t kLogEnabled = kAt.LogEnabled, kLogNames = kAt.LogNames,
                             kLogFile = kAt.LogFile;
inline constexpr std::size_t kEngineWords = kAt.EngineWords, kEngineBufferA = kAt.EngineBufferA,
                             kEngineBufferB = kAt.EngineBufferB;
inline constexpr std::size_t kEngineWord = kAt.EngineWord, kCmdLine = kAt.CmdLine,
                             kExeName = kAt.ExeName;
inline constexpr std::size_t kExeName2 = kAt.ExeName2, kLogFileName = kAt.LogFileName,
                             kUnused = kAt.Unused;
inline constexpr std::size_t kSize = kPlatformRecordSize;
}  // namespace record

// True when every "\n" in text is preceded by "\r" (text-mode line ends).
bool OnlyCrLfLineEnds(const std::string& text);
// The log banner: 146 characters before text-mode translation.
inline constexpr std::size_t kBannerLength = 146;

// Registry entries of the automation server and its type library.
std::string GuidText(const GUID& guid);  // "{XXXXXXXX-...}"
bool KeyExists(HKEY root, const std::string& path);
// The default (or named) string value of a key; false if there is none.
bool ReadString(HKEY root, const std::string& path, const char* name, std::string& value);
// Deletes the class, ProgID, type library and interface keys of the shell.
void DeleteShellRegistration();
bool SameText(const std::string& a, const std::string& b);  // ASCII case-insensitive

// Ids of the processes whose parent is `parent` and whose image is `exe`.
std::vector<DWORD> ChildProcesses(DWORD parent, const std::string& exe);

// Line count of an edit control (EM_GETLINECOUNT, cross-process).
int LineCount(HWND edit);

// Runs "rec.journal TAG" from the command line and waits for its note: every
// command typed before it has then been handled completely.
void Sync(ShellProcess& shell, const std::string& tag);

// The lines of a log file of the tree (CRLF line ends).
std::vector<std::string> FileLines(const ScratchTree& tree, const std::string& relative);

// The process's image range [base, base + size) of its executable, or false.
bool ExecutableImage(HANDLE process, std::uintptr_t& base, std::uintptr_t& size);

}  // namespace vt
