// Start-up: from the CreateProcess call to the console's first paint (where
// the engine's pInitAll is entered), judged against a bare program that does
// the start-up work the shell must do before it (floor_shellstart: OLE, the
// class's registry entries, the type library, the engine library, the
// multimedia timer, the same dialog template to its first paint, a log file
// opened). Each is started several times, the first start of each unmeasured;
// the medians count. For information: pInitAll's return, the bare dialog
// alone (floor_startup), the shell started by OLE (-Embedding, which skips
// the registration), the bare dialog with OLE initialised, and the full
// floor's steps.
#pragma once

#include "Options.h"
#include "Paths.h"
#include "ResultTable.h"

namespace bench {

void RunStartupFigures(const Paths& paths, const Options& options, ResultTable& table);

}  // namespace bench
