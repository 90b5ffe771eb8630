// The tool's command line.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver/file_kind.hpp"

namespace kr570 {

struct CommandLine {
    enum class Action { Interactive, Convert, Compare, Help, Version, UsageError };

    Action action = Action::Interactive;
    std::string inputName;         // "-": standard input
    std::string outputName;        // "-": standard output
    bool besideInput = false;      // one file named alone (or dropped): the output goes beside it
    std::optional<FileKind> from;  // what the input holds, whatever its content or name says
    std::optional<FileKind> to;    // what the output is to hold
    // --set KEYWORD=VALUE, in the order given: each keyword is one, each value can be read.
    std::vector<std::pair<std::string, std::string>> sets;
    std::vector<std::string> ignored;  // --ignore KEYWORD: settings left out of a comparison
    bool warnings = false;             // -w: warnings are shown anyway; kept for existing scripts
    bool quiet = false;                // no warnings, no motor parameters, no closing message
    bool strict = false;               // any warning fails the run and nothing is written
    bool force = false;                // a report may replace a text that is no report
    bool compare = false;              // --compare: the two names are files A and B, both read
    std::string error;                 // what is wrong, for a usage error
};

// No arguments: the interactive run. Otherwise -i NAME / -iNAME and -o NAME / -oNAME (also
// -I and -O), or two plain names INPUT OUTPUT; -w/--warnings, -q/--quiet, --strict, --force,
// --from=text or --from=hex; --help; --version; "--" ends the options. --compare A B
// compares two files instead of converting.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints.
extern const char kUsageText[];

}  // namespace kr570
