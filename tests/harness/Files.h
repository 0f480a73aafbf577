// Whole files and directory trees by Windows path.
#pragma once

#include <string>

namespace vt {

bool FileExists(const std::string& path);
// Deletes a directory tree; missing is fine.
void RemoveTree(const std::string& path);
// Binary; empty if missing.
std::string ReadFileBytes(const std::string& path);
// Binary; false when the file cannot be written whole.
bool WriteFileBytes(const std::string& path, const std::string& content);
// The same, throwing when it fails.
void WriteFile(const std::string& path, const std::string& content);

}  // namespace vt
