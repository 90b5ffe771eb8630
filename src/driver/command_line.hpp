// The tool's command line.
#pragma once

#include <string>
#include <vector>

namespace kr570 {

struct CommandLine {
    enum class Action { Interactive, Convert, Help, Version, UsageError };
    Action action = Action::Interactive;
    std::string inputName;
    std::string outputName;
    bool warnings = false;
    std::string error;  // what is wrong, for a usage error
};

// No arguments: the interactive run. Otherwise -i NAME / -iNAME and -o NAME / -oNAME (also
// -I and -O), or two plain names INPUT OUTPUT; -w or --warnings; --help; --version; "--" ends
// the options.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints.
extern const char kUsageText[];

}  // namespace kr570
