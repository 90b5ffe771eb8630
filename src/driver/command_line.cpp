#include "driver/command_line.hpp"

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
    "      --help        print this help and exit\n"
    "      --version     print the version and exit\n"
    "\n"
    "Exit status: 0 converted, 1 a file could not be opened or written, 2 wrong usage.\n";

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
