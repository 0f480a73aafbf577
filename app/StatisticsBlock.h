// The Log menu's Statistics: the shell's figures as a short block of lines
// for the log, each within the 255 characters a log line keeps.
#pragma once

#include <string>
#include <vector>

#include "engine/Statistics.h"

std::vector<std::string> StatisticsLines(const stats::Snapshot& figures);
