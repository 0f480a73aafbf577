// The command history kept across runs: a text file of one command per line,
// oldest first. It is written whole to a temporary file that then replaces
// the old one, so that a crash or a full disk never leaves half a history.
#pragma once

#include <deque>
#include <string>
#include <vector>

inline constexpr char kHistoryFileName[] = "Velmor.history";

// The file's lines (CR, LF and CRLF all end a line; empty lines skipped), at
// most its first kMaxHistoryFileBytes; none when it is missing or unreadable.
// Whether a line is a sound command is the history's judgement, not this.
inline constexpr unsigned long kMaxHistoryFileBytes = 4ul << 20;
std::vector<std::string> ReadHistoryFile(const char* path);

// Writes `lines` as the file's new contents; false, with the old file left as
// it was, when any step failed.
bool WriteHistoryFile(const char* path, const std::deque<std::string>& lines);
