#include "text/units_table.hpp"

#include <algorithm>

#include "config/settings.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

namespace {

// The lines of the source with their numbers, without their line ends.
std::vector<std::pair<long, std::string>> linesOf(ByteSource& source) {
    std::vector<std::pair<long, std::string>> lines;
    std::string line;
    for (int c = source.get();; c = source.get()) {
        if (c == -1 || c == '\n' || c == '\r') {
            lines.emplace_back(static_cast<long>(lines.size()) + 1, line);
            line.clear();
            if (c == '\r' && source.peek() == '\n') {
                source.advance(1);
            }
            if (c == -1 || source.peek() == -1) {
                return lines;
            }
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// Splits a line into cells, one character at a time.
class CellReader {
  public:
    explicit CellReader(char separator) : separator_(separator) {}

    // The cells of `line`; `problem` tells a quote that is not closed.
    std::vector<std::string> cells(const std::string& line, std::string& problem) {
        cells_.clear();
        cell_.clear();
        quoted_ = wasQuoted_ = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            i += take(line[i], i + 1 < line.size() ? line[i + 1] : '\0');
        }
        endCell();
        problem = quoted_ ? "a quote is not closed" : "";
        return cells_;
    }

  private:
    // Takes one character; how many after it it took too (the second of a doubled quote).
    std::size_t take(char c, char next) {
        if (quoted_ && c == '"' && next == '"') {
            cell_.push_back('"');
            return 1;
        }
        if (c == '"' && (quoted_ || trimmed(cell_).empty())) {
            cell_ = quoted_ ? cell_ : std::string();
            quoted_ = !quoted_;
            wasQuoted_ = true;
        } else if (c == separator_ && !quoted_) {
            endCell();
        } else {
            cell_.push_back(c);
        }
        return 0;
    }

    void endCell() {
        cells_.push_back(wasQuoted_ ? cell_ : trimmed(cell_));
        cell_.clear();
        wasQuoted_ = false;
    }

    char separator_;
    std::vector<std::string> cells_;
    std::string cell_;
    bool quoted_ = false;
    bool wasQuoted_ = false;
};

bool isSkipped(const std::string& line) {
    const std::string text = trimmed(line);
    return text.empty() || text[0] == '#';
}

// A row's cells as a unit: its name and the values it gives, a decimal comma made a point where
// a spreadsheet that separates cells with ';' wrote one.
UnitRow rowOf(long line, const std::vector<std::string>& cells, const UnitsTable& table,
              char separator) {
    UnitRow row{line, cells.front(), {}};
    for (std::size_t i = 1; i < cells.size(); ++i) {
        std::string value = cells[i];
        const Setting* setting = findSetting(table.columns[i - 1]);
        if (separator == ';' && setting != nullptr && setting->kind == ValueKind::Float) {
            std::replace(value.begin(), value.end(), ',', '.');
        }
        if (!value.empty()) {
            row.values.emplace_back(table.columns[i - 1], value);
        }
    }
    return row;
}

}  // namespace

UnitsTable readUnitsTable(ByteSource& source, std::vector<std::string>& problems) {
    source.readTextEncoding();
    auto lines = linesOf(source);
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const auto& line) { return isSkipped(line.second); }),
                lines.end());
    UnitsTable table;
    if (lines.empty()) {
        problems.push_back("1: no header row (unit,KEYWORD,...)");
        return table;
    }
    const long headerLine = lines.front().first;
    const std::string& header = lines.front().second;
    const auto count = [&header](char c) { return std::count(header.begin(), header.end(), c); };
    const char separator = count(';') > count(',') ? ';' : ',';
    CellReader reader(separator);
    std::string problem;
    const std::vector<std::string> columns = reader.cells(header, problem);
    if (columns.front() != "unit" || !problem.empty()) {
        problems.push_back(std::to_string(headerLine) +
                           ": the header row must begin with the column 'unit'");
        return table;
    }
    table.headerLine = headerLine;
    table.columns.assign(columns.begin() + 1, columns.end());
    for (auto line = lines.begin() + 1; line != lines.end(); ++line) {
        const std::vector<std::string> cells = reader.cells(line->second, problem);
        if (!problem.empty() || cells.size() > columns.size()) {
            problems.push_back(
                std::to_string(line->first) + ": " +
                (problem.empty() ? "more cells than the header has columns" : problem));
        } else {
            table.rows.push_back(rowOf(line->first, cells, table, separator));
        }
    }
    return table;
}

}  // namespace kr570
