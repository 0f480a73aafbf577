// The pacing of the engine's ticks: the real shell, idle and under load,
// against the tick floor (floor_timer) with the same engine load. The shell
// and the floor run side by side (TickWindows.h): idle and busy, their ticks
// are counted in the same windows; a load that only the shell takes (the
// Exec loop, the logging) is on in the shell's windows and off in the
// floor's, which alternate with them.
//
//   idle    the engine does nothing in its ticks
//   busy    the engine sleeps 20 ms in every tick ("ontick rec.sleep 20")
//   exec    an editor client calls Exec in a tight loop meanwhile
//   log     the engine logs 100 lines in every tick
#pragma once

#include "Options.h"
#include "Paths.h"
#include "PlotData.h"
#include "ResultTable.h"

namespace bench {

void RunTickFigures(const Paths& paths, const Options& options, ResultTable& table, PlotData& plot);

}  // namespace bench
