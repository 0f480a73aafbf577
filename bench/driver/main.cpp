// The bench driver: runs the shell and the floors, prints the table of
// figures and writes results.csv and the plot data (see Options.h for the
// command line). tools/bench.sh runs it under Wine and draws the plot.
#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "MeasureCostFigures.h"
#include "MetricsFigures.h"
#include "OleTickFigures.h"
#include "Options.h"
#include "Paths.h"
#include "PlotData.h"
#include "RconFigures.h"
#include "ResultTable.h"
#include "Session.h"
#include "StartupFigures.h"
#include "TickFigures.h"

int main(int argc, char** argv) {
    bench::Options options;
    if (!bench::ParseOptions(argc, argv, options)) return 2;
    const bench::Paths paths = bench::Paths::FromDriver();
    const std::string out = options.out.empty() ? paths.benchDir : options.out;
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;

    bench::ResultTable table;
    bench::PlotData plot;
    const std::string csv = out + "\\results.csv";
    // The results so far are written after each group, so that a run that
    // has to be stopped keeps them.
    bool written = true;
    auto save = [&] { written = table.WriteCsv(csv) && plot.Write(out); };
    try {
        if (options.Wants("tick")) {
            bench::RunTickFigures(paths, options, table, plot);
            save();
        }
        if (options.Wants("oletick")) {
            bench::RunOleTickFigures(paths, options, table, plot);
            save();
        }
        if (options.Wants("startup")) {
            bench::RunStartupFigures(paths, options, table);
            save();
        }
        if (options.Wants("log") || options.Wants("editor") || options.Wants("memory"))
            bench::RunSessionFigures(paths, options, table, save);
        if (options.Wants("measure")) {
            bench::RunMeasureCostFigures(table);
            save();
        }
        if (options.Wants("rcon")) {
            bench::RunRconFigures(paths, options, table);
            save();
        }
        if (options.Wants("metrics")) {
            bench::RunMetricsFigures(paths, options, table);
            save();
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "driver: %s\n", error.what());
        table.Add({"bench run", "", "", "", std::string("stopped: ") + error.what(), "FAIL"});
    }

    std::printf("\n%s", table.Text().c_str());
    save();
    if (!written) std::fprintf(stderr, "driver: cannot write the results into %s\n", out.c_str());
    ::CoUninitialize();
    return written ? 0 : 1;
}
