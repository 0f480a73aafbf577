// Camera windows opened and closed from the console's Window menu, many in a
// row and in several rounds: the time each takes, the windows left, and the
// shell's GDI and USER object counts and private bytes before and after.
#pragma once

#include "Options.h"
#include "Harness.h"
#include "ResultTable.h"

namespace bench {

void RunCameraFigures(ShellProcess& shell, const Options& options, ResultTable& table);

}  // namespace bench
