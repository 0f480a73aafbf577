// The test harness's processes, journal and file helpers under the names the
// bench uses.
#pragma once

#include <string>

#include "Files.h"
#include "Journal.h"
#include "Process.h"

namespace bench {

using Child = vt::Process;
using vt::GuiObjects;
using vt::Journal;
using vt::MemorySample;
using vt::TimeNote;

using vt::FileExists;
using vt::RemoveTree;
inline bool WriteTextFile(const std::string& path, const std::string& content) {
    return vt::WriteFileBytes(path, content);
}
inline std::string ReadTextFile(const std::string& path) { return vt::ReadFileBytes(path); }

}  // namespace bench
