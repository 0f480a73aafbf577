// The demo engine's command language, run by edsrvProcess.
#pragma once

namespace demo {

// Runs one command line; its first word picks the command, in any case.
// Unknown commands are reported in the log.
void RunCommand(const char* command);

}  // namespace demo
