// Whether the shell's editor automation server can be reached in this build,
// and its class id: the server's client tool (velmorctl.exe) is built beside
// the shell, and the tree's shell has registered its ProgID.
#pragma once

#include <windows.h>

#include <string>

#include "Paths.h"

namespace bench {

inline constexpr wchar_t kEditorProgId[] = L"Velmor.VelmorEdServer";

// Registers the shell of the tree `root`; false with the reason in `why`.
bool AutomationReady(const Paths& paths, const std::string& root, CLSID& clsid, std::string& why);

}  // namespace bench
