// The test harness's processes, shells, start trees, journal and file helpers
// under the names the bench uses.
#pragma once

#include <string>

#include "Files.h"
#include "Journal.h"
#include "OleShell.h"
#include "Process.h"
#include "ScratchTree.h"
#include "ShellProcess.h"

namespace bench {

using Child = vt::Process;
using vt::ClientDirectory;
using vt::GuiObjects;
using vt::Journal;
using vt::MemorySample;
using vt::OleShell;
using vt::ScratchTree;
using vt::ShellProcess;
using vt::TimeNote;

using vt::FileExists;
inline bool WriteTextFile(const std::string& path, const std::string& content) {
    return vt::WriteFileBytes(path, content);
}
inline std::string ReadTextFile(const std::string& path) { return vt::ReadFileBytes(path); }

// A start tree of the bench's own among the tests' scratch trees ("bench-"
// keeps the names apart), its engine given `commands` to run inside
// pInitAll (System\recorder.cmds).
inline ScratchTree StartTree(const std::string& name, const std::string& commands) {
    ScratchTree tree("bench-" + name);
    tree.Write("System\\recorder.cmds", commands);
    return tree;
}

}  // namespace bench
