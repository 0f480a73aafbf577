// A start directory of the test's own: System/ holds copies of the shell, the
// recording engine (as vmserver.dll) and the type library; Help/ is empty.
// Started there, the shell works in System/, where the log and the engine's
// journal appear.
#pragma once

#include <string>

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

private:
    std::string m_root;
};

// Deletes a directory tree; missing is fine.
void RemoveTree(const std::string& path);
std::string ReadFileBytes(const std::string& path);

}  // namespace vt
