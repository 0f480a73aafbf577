// Start-up: from the CreateProcess call to the console's first paint (where
// the engine's pInitAll is entered) and to pInitAll's return, against a bare
// program that runs the same dialog template to its first paint
// (floor_startup). Each is started several times, the first start of each
// unmeasured; the medians count. Two more starts show where the difference
// lies: the shell started by OLE (-Embedding, which skips the registration),
// and the floor with OLE initialised.
#pragma once

#include "Options.h"
#include "Paths.h"
#include "ResultTable.h"

namespace bench {

void RunStartupFigures(const Paths& paths, const Options& options, ResultTable& table);

}  // namespace bench
