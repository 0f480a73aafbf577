// The shell and its floor measured in turn within one run, slice by slice, so
// that what the machine does meanwhile falls on both alike. Slice i of the
// shell and slice i of the floor make pair i; a figure is judged by the
// median of the pairs' ratios (shell / floor), and the spread of those ratios
// (their interquartile range) is shown beside it.
//
// A group uses it in three steps:
//   1. Alternate(pairs, shellSlice, floorSlice) runs the slices in turn;
//      each slice measures its side and returns false to stop the run.
//   2. Each pair's figures go to a PairedFigure (Add(shell, floor)).
//   3. AddPairedRow(table, ...) writes the row: the medians of the slices'
//      figures as shell and floor, the median ratio and its spread, and the
//      verdict of the median ratio against the target factor. A tail figure
//      goes to AddPooledRow instead, judged over all slices together.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ResultTable.h"

namespace bench {

// The median of a sample of ratios and its quartiles.
struct Spread {
    double median = 0;
    double lower = 0;  // first quartile
    double upper = 0;  // third quartile
    std::size_t count = 0;
};

Spread SpreadOf(const std::vector<double>& ratios);
// "lower-upper", or "" for no ratios.
std::string SpreadText(const Spread& spread);

// Runs `pairs` pairs of slices, shell(i) and floor(i): the shell first in
// even pairs and the floor first in odd ones, so that neither side always
// follows the other. Stops at the first slice that returns false; returns the
// number of whole pairs run.
template <typename ShellSlice, typename FloorSlice>
int Alternate(int pairs, ShellSlice shell, FloorSlice floor) {
    for (int i = 0; i < pairs; ++i) {
        const bool done = i % 2 == 0 ? shell(i) && floor(i) : floor(i) && shell(i);
        if (!done) return i;
    }
    return pairs;
}

// One figure measured in each slice of both sides.
class PairedFigure {
public:
    void Add(double shell, double floor) {
        m_shell.push_back(shell);
        m_floor.push_back(floor);
    }
    std::size_t Pairs() const { return m_shell.size(); }
    double ShellMedian() const;
    double FloorMedian() const;
    // Over the pairs whose floor figure is above 0.
    Spread Ratios() const;

private:
    std::vector<double> m_shell;
    std::vector<double> m_floor;
};

// The row of a paired figure (a time: lower is better), judged "median
// ratio <= factor"; a `factor` of 0 makes it a row for information.
void AddPairedRow(ResultTable& table, const std::string& figure, const PairedFigure& paired, int decimals,
                  double factor);

// The row of a tail figure (a p99) taken over all the slices of each side
// together: a slice's own p99 of about 100 samples is nearly its slowest
// sample, and the median of such ratios swings from run to run with a
// single stall, while the p99 of all of them holds still. Judged "ratio <=
// factor" on `shell` / `floor`; the spread shown is that of the pairs'
// own ratios, `paired`, which says how alike the slices were.
void AddPooledRow(ResultTable& table, const std::string& figure, double shell, double floor,
                  const PairedFigure& paired, int decimals, double factor);

}  // namespace bench
