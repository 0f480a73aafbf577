#include "ResultTable.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "Harness.h"

namespace bench {

namespace {

constexpr std::size_t kColumns = 7;

std::array<std::string, kColumns> Cells(const Row& row, const std::string& spread) {
    return {row.figure, row.shell, row.floor, row.ratio, spread, row.target, row.verdict};
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

void ResultTable::Pending(const std::string& figure, const std::string& why) {
    Add({figure, "", "", "", why, "pending"});
}

std::string ResultTable::Text() const {
    const Entry header{{"figure", "shell", "floor", "ratio", "target", "verdict"}, "ratio IQR"};
    std::array<std::size_t, kColumns> widths{};
    auto measure = [&widths](const Entry& entry) {
        const auto cells = Cells(entry.row, entry.spread);
        for (std::size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], cells[i].size());
    };
    measure(header);
    for (const Entry& entry : m_rows) measure(entry);

    std::string text;
    auto line = [&text, &widths](const Entry& entry) {
        const auto cells = Cells(entry.row, entry.spread);
        for (std::size_t i = 0; i < cells.size(); ++i) {
            text += cells[i];
            if (i + 1 < cells.size()) text += std::string(widths[i] - cells[i].size() + 2, ' ');
        }
        text += '\n';
    };
    line(header);
    std::size_t total = 0;
    for (std::size_t w : widths) total += w + 2;
    text += std::string(total - 2, '-') + '\n';
    for (const Entry& entry : m_rows) line(entry);
    return text;
}

bool ResultTable::WriteCsv(const std::string& path) const {
    std::string csv = "figure,shell,floor,ratio,spread,target,verdict\n";
    for (const Entry& entry : m_rows) {
        const auto cells = Cells(entry.row, entry.spread);
        for (std::size_t i = 0; i < cells.size(); ++i) {
            csv += CsvField(cells[i]);
            csv += i + 1 < cells.size() ? ',' : '\n';
        }
    }
    return WriteTextFile(path, csv);
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Verdict(bool pass) { return pass ? "pass" : "FAIL"; }

std::string RatioText(double shell, double floor) {
    return floor == 0 ? std::string() : Fixed(shell / floor, 2);
}

}  // namespace bench
