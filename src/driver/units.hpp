// A machine's set of controllers, as a units table names them: each unit the base
// configuration with its own row of settings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/config_record.hpp"
#include "driver/command_line.hpp"
#include "driver/console.hpp"
#include "driver/pipeline.hpp"

namespace kr570 {

struct Unit {
    std::string name;
    long line = 0;
    std::vector<Override> overrides;  // the row's cells, read as --set reads a value
};

struct Units {
    std::string table;  // the file, as messages name it
    std::vector<Unit> units;
};

// Reads the units table `table` and checks each row: every column a keyword, every cell a
// value --set would take, every unit name once and a file name on every system. Returns the
// problems, each "TABLE:LINE: WHAT"; a table that cannot be opened is one of them.
std::vector<std::string> readUnits(const std::string& table, Units& units);

// The units that would share one I2C address, the base's filling a row that gives none.
std::vector<std::string> sharedAddresses(const Units& units, const ConfigRecord& base);

// The unit named `name`; nullptr, with the problem, when the table has none.
const Unit* findUnit(const Units& units, const std::string& name,
                     std::vector<std::string>& problems);

// The command line with the row of its --unit, read from `units`, before its own --sets; false,
// once the problems are told, when the table has any.
bool withUnit(const CommandLine& commandLine, Reporter& reporter, Units& units, CommandLine& made);

// A conversion of the base INPUT into one file for each unit of the table, named after the unit
// in --output-dir: the whole table is checked, and every output against the files it would
// replace, before anything is written.
int writeUnits(const CommandLine& commandLine, Console& console);

}  // namespace kr570
