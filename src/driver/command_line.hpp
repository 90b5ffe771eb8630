// The tool's command line.
#pragma once

#include <string>
#include <vector>

#include "driver/compare.hpp"

namespace kr570 {

struct CommandLine {
    enum class Action { Interactive, Convert, Compare, Help, Version, UsageError };
    Action action = Action::Interactive;
    std::string inputName;               // for a comparison, file A
    std::string outputName;              // for a comparison, file B
    InputKind from = InputKind::ByName;  // what both compared files hold
    bool warnings = false;
    std::string error;  // what is wrong, for a usage error
};

// No arguments: the interactive run. Otherwise -i NAME / -iNAME and -o NAME / -oNAME (also
// -I and -O), or two plain names INPUT OUTPUT; -w or --warnings; --help; --version; "--" ends
// the options. --compare A B [--from text|hex] compares two files instead of converting.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints.
extern const char kUsageText[];

}  // namespace kr570
