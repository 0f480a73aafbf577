// Whether the shell's editor automation server can be reached in this build,
// and its class id: the server's client tool (velmorctl.exe) is built beside
// the shell, and a tree's shell has registered its ProgID.
#pragma once

#include <windows.h>

#include <string>

#include "Harness.h"

namespace bench {

inline constexpr wchar_t kEditorProgId[] = L"Velmor.VelmorEdServer";

// Registers the shell of `tree`; false with the reason in `why`.
bool AutomationReady(const ScratchTree& tree, CLSID& clsid, std::string& why);
// The same for a shell registered already (an OleShell's).
bool AutomationRegistered(CLSID& clsid, std::string& why);

}  // namespace bench
