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

// The cells of a line; empty, with `problem` set, when a quote is not closed.
std::vector<std::string> cellsOf(const std::string& line, char separator, std::string& problem) {
    std::vector<std::string> cells;
    std::string cell;
    bool quoted = false;
    bool wasQuoted = false;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        const char c = i < line.size() ? line[i] : separator;
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            cell.push_back('"');
            ++i;
        } else if (c == '"' && (quoted || trimmed(cell).empty())) {
            quoted = !quoted;
            wasQuoted = true;
            cell = quoted ? std::string() : cell;
        } else if (c == separator && (!quoted || i == line.size())) {
            cells.push_back(wasQuoted ? cell : trimmed(cell));
            cell.clear();
            wasQuoted = false;
        } else {
            cell.push_back(c);
        }
    }
    problem = quoted ? "a quote is not closed" : "";
    return cells;
}

bool isSkipped(const std::string& line) {
    const std::string text = trimmed(line);
    return text.empty() || text[0] == '#';
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
    const std::string& header = lines.front().second;
    const char separator = std::count(header.begin(), header.end(), ';') >
                                   std::count(header.begin(), header.end(), ',')
                               ? ';'
                               : ',';
    std::string problem;
    std::vector<std::string> columns = cellsOf(header, separator, problem);
    if (columns.empty() || trimmed(columns.front()) != "unit") {
        problems.push_back(std::to_string(lines.front().first) +
                           ": the header row must begin with the column 'unit'");
        return table;
    }
    table.headerLine = lines.front().first;
    table.columns.assign(columns.begin() + 1, columns.end());
    for (auto line = lines.begin() + 1; line != lines.end(); ++line) {
        const std::vector<std::string> cells = cellsOf(line->second, separator, problem);
        const std::string where = std::to_string(line->first) + ": ";
        if (!problem.empty() || cells.size() > columns.size()) {
            problems.push_back(
                where + (problem.empty() ? "more cells than the header has columns" : problem));
            continue;
        }
        UnitRow row{line->first, cells.front(), {}};
        for (std::size_t i = 1; i < cells.size(); ++i) {
            std::string value = cells[i];
            const Setting* setting = findSetting(columns[i]);
            // A spreadsheet that separates cells with ';' writes a decimal comma.
            if (separator == ';' && setting != nullptr && setting->kind == ValueKind::Float) {
                std::replace(value.begin(), value.end(), ',', '.');
            }
            if (!value.empty()) {
                row.values.emplace_back(columns[i], value);
            }
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

}  // namespace kr570
