// The tool's command line.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver/pipeline.hpp"
#include "formats/kinds.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

struct CommandLine {
    enum class Action { Interactive, Convert, Units, Compare, Help, Version, UsageError };

    Action action = Action::Interactive;
    FileName input;                    // '-': standard input
    FileName output;                   // '-': standard output
    std::array<FileName, 2> compared;  // --compare A B; '-' is standard input
    bool besideInput = false;      // one file named alone (or dropped): the output goes beside it
    std::optional<FileKind> from;  // what the input holds, whatever its content or name says
    std::optional<FileKind> to;    // what the output is to hold, by --to or by its name
    std::vector<Override> sets;    // --set KEYWORD=VALUE, read once, in the order given
    std::vector<std::string> ignored;  // --ignore KEYWORD: settings left out of a comparison
    std::string unitsTable;            // --units FILE: the table of a machine's units
    std::optional<std::string> unit;   // --unit NAME: the row applied as --sets
    std::string outputFolder;          // --output-dir DIR: where --units writes each unit
    bool quiet = false;                // no warnings, no motor parameters, no closing message
    bool strict = false;               // any warning fails the run and nothing is written
    bool force = false;                // a report may replace a text that is no report
    Failure mistake;                   // what is wrong, for a usage error
};

// No arguments: the interactive run. Otherwise -i NAME / -iNAME and -o NAME / -oNAME (also
// -I and -O), or two plain names INPUT OUTPUT, or one name alone; -w/--warnings, -q/--quiet,
// --strict, --force, --from KIND, --to KIND, --set KEYWORD=VALUE; --help; --version; "--" ends
// the options. --compare A B [--ignore KEYWORD] compares two files instead of converting.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints.
std::string usageText();

}  // namespace kr570
