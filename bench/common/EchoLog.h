// The work the shell does for a command besides calling the engine, for the
// floors that judge Exec and the remote console: the command's echo line ("INFO: " and the text, cut at
// 255 characters) appended to a buffered log file and to a window that keeps
// the last 301 lines (past 300 the first 100 go) and paints them right after
// a tick of a 28 ms multimedia timer, at most once per 40 ms, as the shell's
// console paints its pane after each engine tick.
#pragma once

#include <windows.h>

#include <string>

namespace floor_server {

// Opens the log file at `path`, makes the window and starts the timer; false
// if any of them failed. With `ticksPath`, the time of each tick's arrival
// (microseconds of the performance counter) is written there as it comes,
// one per line, as the shell's engine journals its ticks.
bool StartEchoLog(HINSTANCE instance, const char* path, const char* ticksPath = nullptr);
// Stops the timer, closes the window and the file.
void StopEchoLog();
// The echo of one command; nothing unless the echo log was started.
void EchoLine(const std::string& text);

}  // namespace floor_server
