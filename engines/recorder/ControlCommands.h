// The recorder's control commands, which let a test make the engine call the
// shell back. Each has the form "rec.<word> <arguments>"; in recorder.cmds and
// in hooks the "rec." may be left out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace recorder {

// True for a command text that starts with "rec." (any case).
bool IsControlCommand(std::string_view text);

// Runs one control command. Bad arguments journal `error usage "<text>"`, an
// unknown word `error unknown "<text>"`.
void RunControlCommand(std::string_view text);

// Runs a hook list. The list is copied first, so a hook may change it.
void RunHooks(const std::vector<std::string>& hooks);

}  // namespace recorder
