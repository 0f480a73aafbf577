// A start tree of the bench's own, <benchDir>\scratch\<name>: System\ holds
// copies of the shell, the recording engine (as vmserver.dll), the type
// library and the engine's start-up commands (recorder.cmds); Help\ is empty.
#pragma once

#include <string>

#include "Paths.h"

namespace bench {

// Empties and fills the tree; its root, or "" if something could not be copied.
std::string MakeStartTree(const Paths& paths, const std::string& name, const std::string& commands);

// Writes the shell's registry entries and type library for the tree
// ("Velmor.exe /REGISTER"), so that OLE finds its class by ProgID.
bool RegisterShell(const std::string& root);

}  // namespace bench
