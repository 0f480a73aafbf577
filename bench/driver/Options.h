// The driver's command line.
//
//   --seconds N        ticks counted on each side of each tick run, in
//                      alternating windows of 2.8 s (default 60)
//   --only LIST        comma-separated groups: tick,oletick,startup,log,editor,memory,measure,rcon,metrics
//                      (default all; log, editor and memory share one shell run)
//   --log-lines A,B    the two log bursts (default 10000,1000000)
//   --log-budget S     the large burst is left out if the small one shows it
//                      would take longer than S seconds (default 1200)
//   --calls N          timed calls of each editor member on each side, in
//                      alternating blocks of 500 (default 10000)
//   --total-calls N    editor calls made from the warm point to the memory figure (default 100000)
//   --cameras N        camera windows opened and closed (default 1000)
//   --camera-rounds N  rounds of opening and closing them (default 3)
//   --startups N       start-ups timed of the shell and of the floor (default 7)
//   --out DIR          where results.csv and the plot data go (default the driver's folder)
#pragma once

#include <set>
#include <string>

namespace bench {

struct Options {
    double seconds = 60;
    std::set<std::string> groups{"tick", "oletick", "startup", "log", "editor", "memory", "measure", "rcon", "metrics"};
    long long smallBurst = 10000;
    long long largeBurst = 1000000;
    long long logBudgetSeconds = 1200;
    long long calls = 10000;
    long long totalCalls = 100000;
    int cameras = 1000;
    int cameraRounds = 3;
    int startups = 7;
    std::string out;

    bool Wants(const char* group) const { return groups.count(group) != 0; }
};

// False (with a message on stderr) for a command line it cannot read.
bool ParseOptions(int argc, char** argv, Options& options);

}  // namespace bench
