// Lines per second through the shell's Log with the console open (pane and
// log file), for a small and a large burst that the engine logs in one call
// ("rec.logrepeat 1 COUNT 60", typed into the console and timed inside the
// engine with "rec.time"), against the log floors (floor_log): the pane
// written line by line, and a buffered file.
#pragma once

#include <optional>

#include "Options.h"
#include "Harness.h"
#include "Paths.h"
#include "ResultTable.h"

namespace bench {

inline constexpr int kLogLineLength = 60;

struct LogFloors {
    std::optional<double> paneSmallUs;  // the pane floor with the small burst
    std::optional<double> fileSmallUs;
    std::optional<double> fileLargeUs;
};

// Run before the shell's session, so that nothing else runs beside them.
LogFloors RunLogFloors(const Paths& paths, const Options& options);

// The bursts in the running shell, each timed when asked for, its rows
// added to the table.
class LogBursts {
public:
    LogBursts(ShellProcess& shell, const Options& options, const LogFloors& floors, ResultTable& table)
        : m_shell(shell), m_options(options), m_floors(floors), m_table(table) {}

    void Small();
    // Left out when the small burst shows that it would take longer than the
    // budget allows.
    void Large();
    long long Lines() const { return m_lines; }  // logged by the bursts so far

private:
    ShellProcess& m_shell;
    const Options& m_options;
    const LogFloors& m_floors;
    ResultTable& m_table;
    std::optional<double> m_smallUs;
    long long m_lines = 0;
};

}  // namespace bench
