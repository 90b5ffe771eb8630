// The units table of a machine's controllers: a CSV file as a spreadsheet saves it, with a
// header row "unit,KEYWORD,KEYWORD,..." and one row per unit, each cell a value written as in
// a configuration text.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "io/byte_source.hpp"

namespace kr570 {

struct UnitRow {
    long line = 0;     // where the row stands in the file
    std::string name;  // the unit column
    // The row's cells that hold a value: the column's keyword and the value as the text would
    // write it (a decimal comma of a ';' table already made a point).
    std::vector<std::pair<std::string, std::string>> values;
};

struct UnitsTable {
    long headerLine = 0;
    std::vector<std::string> columns;  // after "unit", as the header names them
    std::vector<UnitRow> rows;
};

// Reads the table: cells separated by commas, or by semicolons when the header has more of them
// (a spreadsheet that writes decimal commas does so); cells in double quotes may hold either,
// and "" stands for a quote; blanks around a cell, blank lines and lines that begin with '#'
// are left out; any line end. Adds each problem of the layout to `problems`, as
// "LINE: WHAT", and then the table is not to be used.
UnitsTable readUnitsTable(ByteSource& source, std::vector<std::string>& problems);

}  // namespace kr570
