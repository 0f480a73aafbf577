// The cost of the shell's always-on statistics per tick: the two clock reads
// around pServerTick and the recording of the tick, run in this process.
#pragma once

#include "ResultTable.h"

namespace bench {

void RunMeasureCostFigures(ResultTable& table);

}  // namespace bench
