// A start directory of the test's own: System/ holds copies of the shell, the
// recording engine (as vmserver.dll) and the type library; Help/ is empty
// until AddHelp puts the built help file there.
// Started there, the shell works in System/, where the log and the engine's
// journal appear.
#pragma once

#include <string>

#include "Files.h"

namespace vt {

class ScratchTree {
public:
    // Empties (or creates) the tree named `name` under the scratch root.
    explicit ScratchTree(const std::string& name, bool withTypeLibrary = true);

    const std::string& Root() const { return m_root; }  // Windows path, no trailing separator
    std::string System() const { return m_root + "\\System"; }
    std::string Path(const std::string& relative) const { return m_root + "\\" + relative; }

    bool Exists(const std::string& relative) const;
    std::string Read(const std::string& relative) const;  // binary; empty if missing
    void Write(const std::string& relative, const std::string& content) const;
    void Remove(const std::string& relative) const;
    // Copies the built help file (velmor.hlp and its contents file) into Help\.
    void AddHelp() const;

private:
    std::string m_root;
};

// A fresh, empty directory (Windows path) under the scratch root.
std::string ScratchDirectory(const std::string& name);
// Copies the shell, the recording engine (as vmserver.dll) and, if asked,
// the type library into a directory, made if missing.
void CopyShellInto(const std::string& systemDirectory, bool withTypeLibrary = true);

}  // namespace vt
