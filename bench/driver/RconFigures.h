// The remote console: the round trip of a command with a one-line reply
// against the floor_rcon server, interleaved block by block; and 8 clients
// of 1,000 commands each, their replies and the frame timer's pace meanwhile
// against the same shell's idle pace.
#pragma once

#include "Options.h"
#include "Paths.h"
#include "ResultTable.h"

namespace bench {

void RunRconFigures(const Paths& paths, const Options& options, ResultTable& table);

}  // namespace bench
