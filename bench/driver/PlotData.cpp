#include "PlotData.h"

#include <cstdio>

#include "Harness.h"

namespace bench {

namespace {

constexpr double kScaleMs = 60;  // top of every panel's interval scale

std::string DataFile(const std::string& name) { return "tick-" + name + ".dat"; }

std::string Panel(const std::string& file, const std::string& title) {
    char scale[16];
    std::snprintf(scale, sizeof scale, "%.0f", kScaleMs);
    const std::string top = scale;
    return "set title \"" + title + "\"\n" +
           "plot '" + file + "' using 1:($2 <= " + top + " ? $2 : 1/0) with points pt 7 ps 0.35 lc rgb '#1f5fa0' "
           "notitle, \\\n"
           "     '" + file + "' using 1:($2 > " + top + " ? " + top + " : 1/0) with points pt 9 ps 1.0 "
           "lc rgb '#c02020' title 'beyond " + top + " ms', \\\n"
           "     28 with lines dt 2 lc rgb '#707070' title '28 ms'\n";
}

}  // namespace

void PlotData::AddTickSeries(const std::string& name, const std::string& title, const TickStats& stats) {
    char summary[128];
    std::snprintf(summary, sizeof summary, ": median %.2f, p99 %.2f, max %.2f ms", stats.medianMs, stats.p99Ms,
                  stats.maxMs);
    m_series.push_back({name, title + summary, stats.atSeconds, stats.intervalsMs});
}

bool PlotData::Write(const std::string& directory) const {
    if (m_series.empty()) return true;
    bool written = true;
    std::string panels;
    for (const Series& series : m_series) {
        std::string data = "# seconds interval_ms\n";
        char line[64];
        for (std::size_t i = 0; i < series.intervalsMs.size(); ++i) {
            std::snprintf(line, sizeof line, "%.4f %.3f\n", series.atSeconds[i], series.intervalsMs[i]);
            data += line;
        }
        written = WriteTextFile(directory + "\\" + DataFile(series.name), data) && written;
        panels += Panel(DataFile(series.name), series.title);
    }
    const std::size_t rows = (m_series.size() + 1) / 2;
    char header[512];
    std::snprintf(header, sizeof header,
                  "# Written by the bench driver; tools/bench.sh runs it in this folder.\n"
                  "set terminal pngcairo size 1400,%zu font 'sans,10'\n"
                  "set output 'tick-intervals.png'\n"
                  "set multiplot layout %zu,2 title 'Intervals between engine ticks (period 28 ms)' font 'sans,13'\n"
                  "set key top right font 'sans,8'\n"
                  "set grid\n"
                  "set yrange [0:%.0f]\n"
                  "set xlabel 'time into the run (s)'\n"
                  "set ylabel 'interval (ms)'\n",
                  rows * 320 + 40, rows, kScaleMs + 5);
    const std::string script = header + panels + "unset multiplot\n";
    return WriteTextFile(directory + "\\tick-intervals.gp", script) && written;
}

}  // namespace bench
