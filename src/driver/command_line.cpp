#include "driver/command_line.hpp"

#include <algorithm>
#include <utility>

namespace kr570 {

const char kUsageText[] =
    "Usage: kr570convert\n"
    "       kr570convert [-w] -i INPUT -o OUTPUT\n"
    "       kr570convert [-w] INPUT OUTPUT\n"
    "Compile a KR570 motor controller configuration in either direction.\n"
    "An INPUT name ending in 't' or 'T' (config.txt) is configuration text and becomes an\n"
    "Intel HEX EEPROM file; any other INPUT name is read as Intel HEX and becomes a\n"
    "commented configuration text. Without arguments the tool asks for both names.\n"
    "\n"
    "  -i NAME, -iNAME   the input file\n"
    "  -o NAME, -oNAME   the output file (created, or emptied when it exists)\n"
    "  -w, --warnings    report ignored or adjusted input as NAME:LINE: warning: ...\n"
    "      --compare A B compare the settings of two configuration texts or HEX files\n"
    "      --from KIND   with --compare: both files hold KIND, text or hex\n"
    "      --help        print this help and exit\n"
    "      --version     print the version and exit\n"
    "\n"
    "Exit status: 0 converted, 1 a file could not be opened or written, 2 wrong usage.\n"
    "With --compare: 0 the settings are equal, 1 they differ, 2 wrong usage or a file\n"
    "that cannot be read.\n";

namespace {

CommandLine usageError(std::string message) {
    CommandLine result;
    result.action = CommandLine::Action::UsageError;
    result.error = std::move(message);
    return result;
}

bool isNameOption(const std::string& argument, char lower, char upper) {
    return argument.size() >= 2 && argument[0] == '-' &&
           (argument[1] == lower || argument[1] == upper);
}

bool takeKind(const std::string& word, InputKind& kind) {
    if (word == "text" || word == "hex") {
        kind = word == "text" ? InputKind::Text : InputKind::Hex;
        return true;
    }
    return false;
}

// kr570convert --compare A B, with -w and --from KIND anywhere.
CommandLine parseCompare(const std::vector<std::string>& arguments) {
    CommandLine result;
    std::vector<std::string> names;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            names.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-w" || argument == "--warnings") {
            result.warnings = true;
        } else if (argument == "--from" || argument.rfind("--from=", 0) == 0) {
            const bool joined = argument.size() > 6;
            if (!joined && i + 1 == arguments.size()) {
                return usageError("option '--from' needs text or hex");
            }
            const std::string& kind = joined ? argument.substr(7) : arguments[++i];
            if (!takeKind(kind, result.from)) {
                return usageError("--from takes text or hex, not '" + kind + "'");
            }
        } else if (argument != "--compare") {
            return usageError("unknown option '" + argument + "' with --compare");
        }
    }
    if (names.size() != 2) {
        return usageError("--compare needs two file names, A and B");
    }
    result.action = CommandLine::Action::Compare;
    result.inputName = names[0];
    result.outputName = names[1];
    return result;
}

bool asksForComparison(const std::vector<std::string>& arguments) {
    const auto end = std::find(arguments.begin(), arguments.end(), "--");
    return std::find(arguments.begin(), end, "--compare") != end;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine result;
    if (arguments.empty()) {
        return result;
    }
    for (const std::string& argument : arguments) {
        if (argument == "--") {
            break;
        }
        if (argument == "--help") {
            result.action = CommandLine::Action::Help;
            return result;
        }
        if (argument == "--version") {
            result.action = CommandLine::Action::Version;
            return result;
        }
    }
    if (asksForComparison(arguments)) {
        return parseCompare(arguments);
    }
    bool haveInput = false;
    bool haveOutput = false;
    bool optionsEnded = false;
    std::vector<std::string> plain;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool isOption = !optionsEnded && argument.size() >= 2 && argument[0] == '-';
        if (!isOption) {
            plain.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-w" || argument == "--warnings") {
            result.warnings = true;
        } else if (isNameOption(argument, 'i', 'I') || isNameOption(argument, 'o', 'O')) {
            const bool input = argument[1] == 'i' || argument[1] == 'I';
            bool& have = input ? haveInput : haveOutput;
            if (have) {
                return usageError(std::string(input ? "input" : "output") +
                                  " file named more than once");
            }
            std::string name = argument.substr(2);
            if (name.empty()) {
                if (i + 1 == arguments.size()) {
                    return usageError("option '" + argument + "' needs a file name");
                }
                name = arguments[++i];
            }
            have = true;
            (input ? result.inputName : result.outputName) = name;
        } else {
            return usageError("unknown option '" + argument + "'");
        }
    }
    if (!plain.empty()) {
        if (haveInput || haveOutput || plain.size() > 2) {
            const std::string& stray = plain.size() > 2 ? plain[2] : plain[0];
            return usageError("unexpected argument '" + stray + "'");
        }
        result.inputName = plain[0];
        haveInput = true;
        if (plain.size() == 2) {
            result.outputName = plain[1];
            haveOutput = true;
        }
    }
    if (!haveInput) {
        return usageError("missing input file name (-i NAME)");
    }
    if (!haveOutput) {
        return usageError("missing output file name (-o NAME)");
    }
    result.action = CommandLine::Action::Convert;
    return result;
}

}  // namespace kr570
