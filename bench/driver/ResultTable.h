// The bench's results: one row per figure, printed as a table and written as
// CSV with the columns figure, shell, floor, ratio, spread, target, verdict.
// The spread is that of the ratios of interleaved pairs (Interleave.h), for
// the figures measured that way.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bench {

struct Row {
    std::string figure;
    std::string shell;
    std::string floor;
    std::string ratio;
    std::string target;
    std::string verdict;  // "pass", "FAIL", "info" or "pending"
};

class ResultTable {
public:
    void Add(Row row, std::string spread = "") { m_rows.push_back({std::move(row), std::move(spread)}); }
    // A figure that could not be measured in this run, and why.
    void Pending(const std::string& figure, const std::string& why);

    std::string Text() const;
    bool WriteCsv(const std::string& path) const;

private:
    struct Entry {
        Row row;
        std::string spread;
    };
    std::vector<Entry> m_rows;
};

// Number formatting for the cells.
std::string Fixed(double value, int decimals);
std::string Verdict(bool pass);
// shell / floor, or "" when the floor is 0.
std::string RatioText(double shell, double floor);

}  // namespace bench
