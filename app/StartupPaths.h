// Fixed-size path and command-line buffers of start-up, filled without ever
// writing past them.
#pragma once

#include <cstddef>
#include <string>

// Copies the arguments into dest (size bytes), upper-casing a to z only. On an
// OLE start the suffix " -EDITOR" is appended; when the arguments and the
// suffix do not fit, the arguments are cut so that the suffix always does,
// since it tells the engine that the editor started it.
void CopyCommandLine(char* dest, std::size_t size, const char* args, bool oleStart);

// Upper-cases a to z, leaving every other byte as it is.
std::string UpperCaseAscii(const char* text);

// Joins two strings as they are into dest; false, leaving dest empty, when the
// result would not fit (paths are refused rather than cut).
bool JoinPath(char* dest, std::size_t size, const char* first, const char* second);

// The start tree of an executable that lies in a folder named System (in any
// case): that folder's parent, without a trailing separator ("C:" at a
// drive's root). False, leaving dest empty, when the executable lies
// elsewhere or the result does not fit (refused, not cut).
bool StartTreeOfExecutable(char* dest, std::size_t size, const char* exePath);
