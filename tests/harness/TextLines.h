// Log files, journals and pane text as lists of lines.
#pragma once

#include <string>
#include <vector>

namespace vt {

// Splits at "\n", dropping a "\r" before it; a last line without an end is kept.
std::vector<std::string> SplitLines(const std::string& text);
// Splits at "\r\n" only (a bare "\n" stays inside its line); a last line
// without a line end is kept as well.
std::vector<std::string> SplitCrLf(const std::string& text);
// Index of the first line (from `from` on) equal to `line`, or -1.
int IndexOf(const std::vector<std::string>& lines, const std::string& line, int from = 0);
// Index of the first line (from `from` on) that starts with `prefix`, or -1.
int IndexOfPrefix(const std::vector<std::string>& lines, const std::string& prefix, int from = 0);
// Number of lines that start with `prefix`.
int CountPrefix(const std::vector<std::string>& lines, const std::string& prefix);

}  // namespace vt
