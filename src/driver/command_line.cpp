#include "driver/command_line.hpp"

#include <utility>

#include "config/settings.hpp"
#include "text/config_parser.hpp"

namespace kr570 {

const char kUsageText[] =
    "Usage: kr570convert\n"
    "       kr570convert [OPTION]... -i INPUT -o OUTPUT\n"
    "       kr570convert [OPTION]... INPUT OUTPUT\n"
    "Compile a KR570 motor controller configuration in either direction.\n"
    "A configuration text becomes an Intel HEX EEPROM file; an EEPROM image (Intel HEX,\n"
    "Motorola S-records, raw binary or avrdude's byte lists, each known by its content)\n"
    "becomes a commented configuration text. Where the content cannot tell, an INPUT name\n"
    "ending in 't' or 'T' (config.txt) is text and any other is Intel HEX. Without\n"
    "arguments the tool asks for both names.\n"
    "\n"
    "  -i NAME, -iNAME   the input file; '-' is standard input\n"
    "  -o NAME, -oNAME   the output file; '-' is standard output\n"
    "      --from KIND   read the input as KIND whatever its content and name:\n"
    "                    text, hex, srec, bin or list\n"
    "      --to KIND     write KIND: text (the report), hex, srec or bin\n"
    "      --set KEYWORD=VALUE\n"
    "                    change a setting after the input is read, by the text's rules\n"
    "                    (repeatable, applied in order); an image written as an image\n"
    "                    keeps every byte the settings do not cover\n"
    "  -q, --quiet       print no warnings, no motor parameters and no closing message\n"
    "      --strict      fail on any warning; nothing is written then\n"
    "      --force       let a report replace a text file that is no report\n"
    "      --compare A B compare the settings of two configuration texts or images ('-' is\n"
    "                    standard input), and the headers of two images; --strict gives\n"
    "                    no verdict on a file that warned\n"
    "      --ignore KEYWORD\n"
    "                    with --compare: leave a setting out (repeatable)\n"
    "  -w, --warnings    accepted for older scripts; warnings are always shown\n"
    "      --help        print this help and exit\n"
    "      --version     print the version and exit\n"
    "\n"
    "Warnings about the input go to standard error as NAME:LINE: warning: MESSAGE.\n"
    "The output is written to a new file beside it and renamed into place once complete:\n"
    "a failure or an interrupt leaves an existing output as it was. With OUTPUT '-',\n"
    "everything but the converted file goes to standard error.\n"
    "\n"
    "Exit status: 0 converted, 1 a file could not be read or written, an image holds no\n"
    "configuration, a text that is no report was not replaced, or --strict found warnings;\n"
    "2 wrong usage.\n"
    "With --compare: 0 equal, 1 they differ, 2 wrong usage, a file that cannot be read or\n"
    "holds no configuration, a warning with --strict, or standard output not written.\n"
    "\n"
    "avrdude's read-backs in any of its forms (-U eeprom:r:FILE:i, :I, :s, :r, :d, :h, :o,\n"
    ":b, or no form at all, which is raw binary) are read as they are.\n";

namespace {

// The options that only switch something on.
struct Flag {
    const char* shortName;  // nullptr: none
    const char* longName;
    bool CommandLine::*field;
};

constexpr Flag kFlags[] = {
    {"-w", "--warnings", &CommandLine::warnings},  {"-q", "--quiet", &CommandLine::quiet},
    {nullptr, "--strict", &CommandLine::strict},   {nullptr, "--force", &CommandLine::force},
    {nullptr, "--compare", &CommandLine::compare},
};

bool isOption(const std::string& argument) {
    return argument.size() >= 2 && argument[0] == '-';
}

// Reads the arguments one at a time into a CommandLine; the first mistake is kept.
class Parser {
  public:
    explicit Parser(const std::vector<std::string>& arguments) : arguments_(arguments) {}

    CommandLine parse() {
        for (position_ = 0; position_ < arguments_.size() && !failed(); ++position_) {
            take(arguments_[position_]);
        }
        if (!failed() && result_.compare && (plain_.size() != 2 || haveInput_ || haveOutput_)) {
            fail("--compare needs two file names, A and B");
        }
        if (!failed() && result_.compare && (!result_.sets.empty() || result_.to)) {
            fail("--set and --to change a conversion; --compare takes the files as they are");
        }
        if (!failed() && !result_.compare && !result_.ignored.empty()) {
            fail("--ignore goes with --compare");
        }
        if (!failed()) {
            assignPlainNames();
        }
        if (!failed()) {
            result_.action =
                result_.compare ? CommandLine::Action::Compare : CommandLine::Action::Convert;
        }
        return result_;
    }

  private:
    bool failed() const { return result_.action == CommandLine::Action::UsageError; }

    void fail(std::string message) {
        result_ = CommandLine();
        result_.action = CommandLine::Action::UsageError;
        result_.error = std::move(message);
    }

    void take(const std::string& argument) {
        if (optionsEnded_ || !isOption(argument)) {
            plain_.push_back(argument);
        } else if (argument == "--") {
            optionsEnded_ = true;
        } else if (!takeFlag(argument) && !takeValued(argument) && !takeName(argument)) {
            fail("unknown option '" + argument + "'");
        }
    }

    bool takeFlag(const std::string& argument) {
        for (const Flag& flag : kFlags) {
            if ((flag.shortName != nullptr && argument == flag.shortName) ||
                argument == flag.longName) {
                result_.*flag.field = true;
                return true;
            }
        }
        return false;
    }

    // An option that takes a value, as --NAME=VALUE or --NAME VALUE: true when `argument` is
    // that option, with its value in `value` (or the mistake kept when the value is missing).
    bool valueOf(const std::string& argument, const std::string& name, std::string& value) {
        if (argument.rfind(name + "=", 0) == 0) {
            value = argument.substr(name.size() + 1);
            return true;
        }
        if (argument != name) {
            return false;
        }
        if (position_ + 1 == arguments_.size()) {
            fail("option '" + name + "' needs a value");
        } else {
            value = arguments_[++position_];
        }
        return true;
    }

    // --from KIND, --to KIND.
    bool takeValued(const std::string& argument) {
        std::string value;
        if (valueOf(argument, "--from", value)) {
            result_.from = kindNamed(value);
            if (!failed() && !result_.from) {
                fail("--from takes text, hex, srec, bin or list, not '" + value + "'");
            }
            return true;
        }
        if (valueOf(argument, "--set", value)) {
            takeSet(value);
            return true;
        }
        if (valueOf(argument, "--ignore", value)) {
            if (!failed() && knownKeyword("--ignore " + value, value)) {
                result_.ignored.push_back(value);
            }
            return true;
        }
        if (valueOf(argument, "--to", value)) {
            result_.to = kindNamed(value);
            if (!failed() && (!result_.to || result_.to == FileKind::ByteList)) {
                fail("--to takes text, hex, srec or bin, not '" + value + "'");
            }
            return true;
        }
        return false;
    }

    // Whether `keyword` is one; the mistake, with the keyword it most likely meant, is kept
    // when it is not.
    bool knownKeyword(const std::string& option, const std::string& keyword) {
        if (findSetting(keyword) != nullptr) {
            return true;
        }
        const char* meant = nearestKeyword(keyword);
        fail(option + ": '" + keyword + "' is not a keyword" +
             (meant != nullptr ? std::string("; did you mean '") + meant + "'?" : ""));
        return false;
    }

    // KEYWORD=VALUE, whose value is read now as a text's would be, so that a run never starts
    // with a setting it cannot make.
    void takeSet(const std::string& assignment) {
        if (failed()) {
            return;
        }
        const std::size_t equals = assignment.find('=');
        if (equals == std::string::npos) {
            fail("--set takes KEYWORD=VALUE, not '" + assignment + "'");
            return;
        }
        const std::string keyword = assignment.substr(0, equals);
        const std::string value = assignment.substr(equals + 1);
        if (!knownKeyword("--set " + assignment, keyword)) {
            return;
        }
        ConfigRecord scratch{};
        Diagnostics uncounted(nullptr, "");
        const std::string why = setValue(*findSetting(keyword), value, scratch, uncounted);
        if (!why.empty()) {
            fail("--set " + assignment + ": " + why);
            return;
        }
        result_.sets.emplace_back(keyword, value);
    }

    // -i NAME, -iNAME, -o NAME, -oNAME, and the same with -I and -O.
    bool takeName(const std::string& argument) {
        const char letter = argument[1];
        const bool input = letter == 'i' || letter == 'I';
        if (!input && letter != 'o' && letter != 'O') {
            return false;
        }
        bool& have = input ? haveInput_ : haveOutput_;
        if (have) {
            fail(std::string(input ? "input" : "output") + " file named more than once");
            return true;
        }
        std::string name = argument.substr(2);
        if (name.empty()) {
            if (position_ + 1 == arguments_.size()) {
                fail("option '" + argument + "' needs a file name");
                return true;
            }
            name = arguments_[++position_];
        }
        have = true;
        (input ? result_.inputName : result_.outputName) = name;
        return true;
    }

    void assignPlainNames() {
        // One file named alone, as Windows names a file dropped on the executable.
        if (plain_.size() == 1 && !haveInput_ && !haveOutput_ && plain_[0] != "-" &&
            !result_.compare) {
            result_.inputName = plain_[0];
            result_.besideInput = true;
            return;
        }
        if (!plain_.empty()) {
            if (haveInput_ || haveOutput_ || plain_.size() > 2) {
                fail("unexpected argument '" + (plain_.size() > 2 ? plain_[2] : plain_[0]) + "'");
                return;
            }
            result_.inputName = plain_[0];
            haveInput_ = true;
            if (plain_.size() == 2) {
                result_.outputName = plain_[1];
                haveOutput_ = true;
            }
        }
        if (!haveInput_) {
            fail("missing input file name (-i NAME)");
        } else if (!haveOutput_) {
            fail("missing output file name (-o NAME)");
        }
    }

    const std::vector<std::string>& arguments_;
    std::size_t position_ = 0;
    CommandLine result_;
    std::vector<std::string> plain_;
    bool haveInput_ = false;
    bool haveOutput_ = false;
    bool optionsEnded_ = false;
};

// --help and --version win over everything before "--", mistakes included.
CommandLine::Action informationRequested(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "--") {
            break;
        }
        if (argument == "--help") {
            return CommandLine::Action::Help;
        }
        if (argument == "--version") {
            return CommandLine::Action::Version;
        }
    }
    return CommandLine::Action::Convert;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine result;
    if (arguments.empty()) {
        return result;
    }
    result.action = informationRequested(arguments);
    if (result.action != CommandLine::Action::Convert) {
        return result;
    }
    return Parser(arguments).parse();
}

}  // namespace kr570
