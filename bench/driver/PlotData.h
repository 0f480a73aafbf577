// The data for the plot of tick intervals: one file per run (time in seconds,
// interval in ms) and a gnuplot script, tick-intervals.gp, that draws them
// into tick-intervals.png: one panel per run, two runs a row, every panel on
// the same interval scale (intervals beyond it marked at its top edge). The
// script names its files relative to its own folder, where tools/bench.sh runs
// gnuplot.
#pragma once

#include <string>
#include <vector>

#include "TickStats.h"

namespace bench {

class PlotData {
public:
    void AddTickSeries(const std::string& name, const std::string& title, const TickStats& stats);
    bool Write(const std::string& directory) const;

private:
    struct Series {
        std::string name;
        std::string title;  // with the run's median, p99 and maximum
        std::vector<double> atSeconds;
        std::vector<double> intervalsMs;
    };
    std::vector<Series> m_series;
};

}  // namespace bench
