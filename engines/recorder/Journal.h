// The journal: one line per event, in call order, in the file named by the
// environment variable VELMOR_JOURNAL, or "recorder.journal" in the working
// directory when that is unset or empty.
#pragma once

#include <string>

namespace recorder {

// Appends the line and a "\n". The first line ever written in this process is
// preceded by "load pid=<process id>". Each line is a single unbuffered
// append, so a reader sees it as soon as this returns. If the file cannot be
// opened the line is dropped and the open is tried again next time.
void Journal(const std::string& line);

}  // namespace recorder
