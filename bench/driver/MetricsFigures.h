// The metrics endpoint (`metrics`): a scrape's round trip against a bare
// Winsock server that serves a body of the same size (floor_metrics), in
// alternating blocks; and the shell's own tick lateness while it is scraped
// ten times a second, against the same shell unscraped, in alternating
// windows.
#pragma once

#include "Options.h"
#include "Paths.h"
#include "ResultTable.h"

namespace bench {

void RunMetricsFigures(const Paths& paths, const Options& options, ResultTable& table);

}  // namespace bench
