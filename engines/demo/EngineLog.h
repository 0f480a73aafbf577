// The demo engine's messages, all sent through the platform record's Log.
#pragma once

namespace demo {

constexpr int kLogConsole = 0;
constexpr int kLogInfo = 1;
constexpr int kLogInit = 13;
constexpr int kLogExit = 14;

// Sends one message; does nothing while the shell has not set PLATFORM.Log.
void LogText(int category, const char* text);

// Formats into a 4096-byte buffer first; a longer message is cut there (the
// shell keeps only the first 255 characters of a line anyway).
void LogFormat(int category, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));

}  // namespace demo
