// Tick pacing of a shell that OLE started: an editor client creates
// Velmor.VelmorEdServer by its ProgID (registered from a start tree of the
// bench's own), so the shell runs as the editor starts it. Editor clients
// then come and go, and the engine logs a 10,000-line burst through one of
// them; once all are gone a tick floor (floor_timer) starts beside the shell
// and the two are timed in alternating windows (TickWindows.h), the shell's
// first window starting at once. A
// window of the same shell before the clients' work, idle with its first
// client connected, is shown for information: it tells what the OLE start
// alone does from what that work leaves behind.
#pragma once

#include "Options.h"
#include "Paths.h"
#include "PlotData.h"
#include "ResultTable.h"

namespace bench {

void RunOleTickFigures(const Paths& paths, const Options& options, ResultTable& table, PlotData& plot);

}  // namespace bench
