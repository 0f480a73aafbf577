// The start-up command file "recorder.cmds": one control command per line.
#pragma once

namespace recorder {

// Runs each line of the file, if it exists, as a control command ("rec." may
// be left out). Line ends may be LF or CRLF; empty lines and lines starting
// with '#' are skipped.
void RunCommandFile(const char* path);

}  // namespace recorder
