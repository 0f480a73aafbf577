#include "Interleave.h"

#include <algorithm>
#include <cstdio>

#include "Stats.h"

namespace bench {

namespace {

// Linear between the nearest ranks, so that a handful of pairs still gives
// quartiles that move smoothly with the data.
double Quantile(const std::vector<double>& sorted, double q) {
    if (sorted.empty()) return 0;
    const double at = q * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(at);
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (at - static_cast<double>(below));
}

}  // namespace

Spread SpreadOf(const std::vector<double>& ratios) {
    std::vector<double> sorted = ratios;
    std::sort(sorted.begin(), sorted.end());
    return {Quantile(sorted, 0.5), Quantile(sorted, 0.25), Quantile(sorted, 0.75), sorted.size()};
}

std::string SpreadText(const Spread& spread) {
    if (spread.count == 0) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f-%.2f", spread.lower, spread.upper);
    return text;
}

double PairedFigure::ShellMedian() const { return SpreadOf(m_shell).median; }

double PairedFigure::FloorMedian() const { return SpreadOf(m_floor).median; }

Spread PairedFigure::Ratios() const {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < m_shell.size(); ++i)
        if (m_floor[i] > 0) ratios.push_back(m_shell[i] / m_floor[i]);
    return SpreadOf(ratios);
}

void AddPairedRow(ResultTable& table, const std::string& figure, const PairedFigure& paired, int decimals,
                  double factor) {
    const Spread ratios = paired.Ratios();
    char target[32] = "";
    if (factor > 0) std::snprintf(target, sizeof target, "<= %.1fx floor", factor);
    std::string verdict = "info";
    if (factor > 0) verdict = ratios.count == 0 ? "FAIL" : Verdict(ratios.median <= factor);
    table.Add({figure, Fixed(paired.ShellMedian(), decimals),
               Fixed(paired.FloorMedian(), decimals), ratios.count ? Fixed(ratios.median, 2) : "", target, verdict},
              SpreadText(ratios));
}

void AddPooledRow(ResultTable& table, const std::string& figure, double shell, double floor,
                  const PairedFigure& paired, int decimals, double factor) {
    char target[48] = "";
    if (factor > 0) std::snprintf(target, sizeof target, "<= %.1fx floor, all slices", factor);
    const bool measured = floor > 0 && paired.Pairs() > 0;
    std::string verdict = "info";
    if (factor > 0) verdict = measured ? Verdict(shell / floor <= factor) : "FAIL";
    table.Add({figure, Fixed(shell, decimals), Fixed(floor, decimals), measured ? Fixed(shell / floor, 2) : "",
               target, verdict},
              SpreadText(paired.Ratios()));
}

}  // namespace bench
