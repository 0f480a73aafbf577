#include "LogFigures.h"

#include <cmath>
#include <cstdio>

#include "Floors.h"

namespace bench {

namespace {

constexpr double kLinesPerSecondTarget = 10000;
constexpr double kFlatness = 0.10;  // cost per line within 10 % between the bursts

double Rate(long long lines, double microseconds) {
    return microseconds > 0 ? static_cast<double>(lines) / (microseconds / 1e6) : 0;
}

// Types the burst into the console and waits for the engine's time note.
std::optional<double> TimeBurst(ShellProcess& shell, const std::string& label, long long lines,
                                std::chrono::milliseconds timeout) {
    std::printf("  shell log burst, %lld lines\n", lines);
    std::fflush(stdout);
    const std::string command = "rec.time " + label + " rec.logrepeat 1 " + std::to_string(lines) + " " +
                                std::to_string(kLogLineLength);
    if (!shell.Type(command)) return std::nullopt;
    const auto note = shell.EngineJournal().WaitForTime(label, timeout);
    if (!note) return std::nullopt;
    return note->microseconds;
}

std::string RateFigure(long long lines) { return "log lines/s, " + std::to_string(lines) + "-line burst"; }

void AddRateRow(ResultTable& table, const std::string& figure, long long lines, double shellUs,
                const std::optional<double>& floorUs, bool withTarget) {
    const double shell = Rate(lines, shellUs);
    const double floor = floorUs ? Rate(lines, *floorUs) : 0;
    table.Add({figure, Fixed(shell, 0), floorUs ? Fixed(floor, 0) : "", RatioText(shell, floor),
               withTarget ? ">= 10000" : "(buffered file: the limit)",
               withTarget ? Verdict(shell >= kLinesPerSecondTarget) : "info"});
}

}  // namespace

LogFloors RunLogFloors(const Paths& paths, const Options& options) {
    std::printf("Log floors\n");
    std::printf("  pane floor, %lld lines\n", options.smallBurst);
    std::fflush(stdout);
    LogFloors floors;
    floors.paneSmallUs = RunLogFloor(paths, "pane", options.smallBurst, kLogLineLength);
    floors.fileSmallUs = RunLogFloor(paths, "file", options.smallBurst, kLogLineLength);
    floors.fileLargeUs = RunLogFloor(paths, "file", options.largeBurst, kLogLineLength);
    return floors;
}

void LogBursts::Small() {
    const long long lines = m_options.smallBurst;
    // Far more than a burst at the pane floor's pace would take.
    const double floorLineUs =
        m_floors.paneSmallUs ? *m_floors.paneSmallUs / static_cast<double>(lines) : 20000;
    const auto timeout = std::chrono::milliseconds(
        static_cast<long long>(floorLineUs * 5 * static_cast<double>(lines) / 1000) + 120000);
    m_smallUs = TimeBurst(m_shell, "logsmall", lines, timeout);
    if (!m_smallUs) {
        m_table.Add({RateFigure(lines), "", "", "", "the burst did not end", "FAIL"});
        return;
    }
    m_lines += lines;
    AddRateRow(m_table, RateFigure(lines) + " (floor: pane line by line)", lines, *m_smallUs,
               m_floors.paneSmallUs, true);
    AddRateRow(m_table, RateFigure(lines) + " (floor: buffered file)", lines, *m_smallUs,
               m_floors.fileSmallUs, false);
}

void LogBursts::Large() {
    const long long lines = m_options.largeBurst;
    const std::string flatness = "log cost per line, large/small burst";
    if (!m_smallUs) {
        m_table.Pending(RateFigure(lines), "not run: the small burst failed");
        return;
    }
    const double smallLineUs = *m_smallUs / static_cast<double>(m_options.smallBurst);
    const double projectedSeconds = smallLineUs * static_cast<double>(lines) / 1e6;
    if (projectedSeconds > static_cast<double>(m_options.logBudgetSeconds)) {
        // At that pace the rate is far below the target anyway.
        char why[160];
        std::snprintf(why, sizeof why, "left out: would take %.0f s at %.0f lines/s (budget %lld s)",
                      projectedSeconds, 1e6 / smallLineUs, m_options.logBudgetSeconds);
        m_table.Add({RateFigure(lines), "", "", "", why, "FAIL"});
        m_table.Pending(flatness, "not measured: the large burst was left out");
        return;
    }
    const auto timeout = std::chrono::milliseconds(static_cast<long long>(projectedSeconds * 3000) + 120000);
    const std::optional<double> largeUs = TimeBurst(m_shell, "loglarge", lines, timeout);
    if (!largeUs) {
        m_table.Add({RateFigure(lines), "", "", "", "the burst did not end", "FAIL"});
        return;
    }
    m_lines += lines;
    AddRateRow(m_table, RateFigure(lines) + " (floor: buffered file)", lines, *largeUs, m_floors.fileLargeUs,
               true);

    const double shellFlat = (*largeUs / static_cast<double>(lines)) / smallLineUs;
    const double floorFlat =
        m_floors.fileSmallUs && m_floors.fileLargeUs
            ? (*m_floors.fileLargeUs / static_cast<double>(lines)) /
                  (*m_floors.fileSmallUs / static_cast<double>(m_options.smallBurst))
            : 0;
    m_table.Add({flatness, Fixed(shellFlat, 3), floorFlat ? Fixed(floorFlat, 3) : "", "", "1 +-0.10",
                 Verdict(std::fabs(shellFlat - 1) <= kFlatness)});
}

}  // namespace bench
