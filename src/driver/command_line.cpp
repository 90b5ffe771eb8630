#include "driver/command_line.hpp"

#include <utility>

#include "config/settings.hpp"
#include "platform/platform.hpp"
#include "text/config_parser.hpp"

namespace kr570 {

namespace {

// The help, with the kinds read (%s) and written (%s) filled in from the table of kinds.
constexpr char kUsage[] =
    "Usage: kr570convert\n"
    "       kr570convert [OPTION]... -i INPUT -o OUTPUT\n"
    "       kr570convert [OPTION]... INPUT OUTPUT\n"
    "       kr570convert [OPTION]... INPUT\n"
    "       kr570convert [OPTION]... --units TABLE [--output-dir DIR] BASE\n"
    "       kr570convert [OPTION]... --compare A B\n"
    "Compile a KR570 motor controller configuration in either direction.\n"
    "A configuration text becomes an Intel HEX EEPROM file; an EEPROM image (Intel HEX,\n"
    "Motorola S-records, raw binary or avrdude's byte lists) becomes a commented\n"
    "configuration text. A file's content says what it holds; where it cannot, its name\n"
    "does (its extension, then a last letter 't' or 'T' for text, else Intel HEX).\n"
    "The OUTPUT's name says what is written the same way. INPUT named alone (or dropped\n"
    "on the program) is converted beside itself: x.txt gives x.hex, x.hex gives\n"
    "x-report.txt. Without arguments the tool asks for both names.\n"
    "\n"
    "  -i NAME, -iNAME   the input file; '-' is standard input\n"
    "  -o NAME, -oNAME   the output file; '-' is standard output\n"
    "      --from KIND   read the input as KIND whatever its content and name:\n"
    "                    %s\n"
    "      --to KIND     write KIND: %s; text is the report\n"
    "      --set KEYWORD=VALUE\n"
    "                    change a setting after the input is read, by the text's rules\n"
    "                    (repeatable, applied in order); a value a text would be warned\n"
    "                    about is refused; an image written as an image keeps every byte\n"
    "                    it gave that the settings do not cover\n"
    "      --units TABLE with --unit NAME, apply that unit's row as --sets; without it,\n"
    "                    write every unit's file (named after it) into --output-dir DIR\n"
    "  -q, --quiet       print no warnings, no motor parameters and no closing message\n"
    "      --strict      fail on any warning; nothing is written then\n"
    "      --force       replace an output that would lose something, and convert an image\n"
    "                    that gives only part of the configuration block\n"
    "      --compare A B compare two configuration texts or images ('-' is standard input\n"
    "                    for one of them): their settings, and the headers and every byte\n"
    "                    of two images; --set, --units and --unit change A, which must be a\n"
    "                    configuration text; --strict gives no verdict on a file that warned\n"
    "      --ignore KEYWORD\n"
    "                    with --compare: leave a setting out (repeatable)\n"
    "  -w, --warnings    accepted for older scripts; warnings are always shown\n"
    "      --help        print this help and exit (on Windows /? too)\n"
    "      --version     print the version and exit\n"
    "\n"
    "Warnings about the input go to standard error as NAME:LINE: warning: MESSAGE.\n"
    "An existing output is replaced only when nothing of it is lost: a report replaces a\n"
    "report, an image an image that gives no address the new one lacks, and an empty file\n"
    "may always be replaced. The output is written to a new file beside it and renamed into\n"
    "place once complete: a failure or an interrupt leaves an existing output as it was.\n"
    "With OUTPUT '-', everything but the converted file goes to standard error.\n"
    "\n"
    "Exit status: 0 converted, 1 a file could not be read or written, the input holds no\n"
    "configuration or only part of the block, an output was kept, or --strict found\n"
    "warnings; 2 wrong usage.\n"
    "With --compare: 0 equal, 1 they differ, 2 wrong usage, a file that cannot be read or\n"
    "holds no configuration, a warning with --strict, or standard output not written.\n"
    "\n"
    "avrdude's read-backs in any of its forms (-U eeprom:r:FILE:i, :I, :s, :r, :d, :h, :o,\n"
    ":b, or no form at all, which is raw binary) are read as they are.\n";

}  // namespace

std::string usageText() {
    return formatted(kUsage, kindWords(false).c_str(), kindWords(true).c_str());
}

namespace {

// The options that only switch something on. -w is accepted for older scripts: warnings are
// always shown.
struct Flag {
    const char* shortName;  // nullptr: none
    const char* longName;
    bool CommandLine::*field;  // nullptr: nothing to switch
};

constexpr Flag kFlags[] = {
    {"-w", "--warnings", nullptr},
    {"-q", "--quiet", &CommandLine::quiet},
    {nullptr, "--strict", &CommandLine::strict},
    {nullptr, "--force", &CommandLine::force},
};

bool isOption(const std::string& argument) {
    return argument.size() >= 2 && argument[0] == '-';
}

// A name given on the command line, where '-' is a standard stream.
FileName nameOf(const std::string& name) {
    return FileName{name, name == "-"};
}

// Reads the arguments one at a time into a CommandLine; the first mistake is kept.
class Parser {
  public:
    explicit Parser(const std::vector<std::string>& arguments) : arguments_(arguments) {}

    CommandLine parse() {
        for (position_ = 0; position_ < arguments_.size() && !failed(); ++position_) {
            take(arguments_[position_]);
        }
        if (!failed()) {
            checkUnits();
        }
        if (!failed()) {
            compare_ ? checkComparison() : units() ? assignBase() : assignNames();
        }
        if (!failed() && !compare_ && !result_.besideInput && !units()) {
            std::string mistake;
            result_.to = kindWritten(result_.output.given, result_.to, mistake);
            if (!mistake.empty()) {
                fail(mistake);
            }
        }
        if (!failed()) {
            result_.action = compare_  ? CommandLine::Action::Compare
                             : units() ? CommandLine::Action::Units
                                       : CommandLine::Action::Convert;
        }
        return result_;
    }

  private:
    bool failed() const { return result_.action == CommandLine::Action::UsageError; }

    void fail(std::string message) {
        result_ = CommandLine();
        result_.action = CommandLine::Action::UsageError;
        result_.mistake = Failure{std::move(message)};
    }

    void take(const std::string& argument) {
        if (optionsEnded_ || !isOption(argument)) {
            plain_.push_back(argument);
        } else if (argument == "--") {
            optionsEnded_ = true;
        } else if (argument == "--compare") {
            compare_ = true;
        } else if (!takeFlag(argument) && !takeValued(argument) && !takeName(argument)) {
            fail("unknown option '" + argument + "'");
        }
    }

    bool takeFlag(const std::string& argument) {
        for (const Flag& flag : kFlags) {
            if ((flag.shortName != nullptr && argument == flag.shortName) ||
                argument == flag.longName) {
                if (flag.field != nullptr) {
                    result_.*flag.field = true;
                }
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

    bool takeValued(const std::string& argument) {
        for (const char* name :
             {"--from", "--to", "--set", "--ignore", "--units", "--unit", "--output-dir"}) {
            std::string value;
            if (valueOf(argument, name, value)) {
                if (!failed()) {
                    useValue(name, value);
                }
                return true;
            }
        }
        return false;
    }

    void useValue(const std::string& name, const std::string& value) {
        if (name == "--from" || name == "--to") {
            const bool written = name == "--to";
            std::optional<FileKind>& kind = written ? result_.to : result_.from;
            kind = kindNamed(value);
            if (!kind || (written && !isWritten(*kind))) {
                fail(name + " takes " + kindWords(written) + ", not '" + value + "'");
            }
        } else if (name == "--set") {
            Override override;
            if (const auto why = readOverride(value, override)) {
                fail(why->what);
                return;
            }
            result_.sets.push_back(std::move(override));
        } else if (name == "--units") {
            result_.unitsTable = value;
        } else if (name == "--unit") {
            result_.unit = value;
        } else if (name == "--output-dir") {
            result_.outputFolder = value;
        } else if (findSetting(value) == nullptr) {
            fail("--ignore " + value + ": " + notAKeyword(value));
        } else {
            result_.ignored.push_back(value);
        }
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
        if (name.empty() && position_ + 1 == arguments_.size()) {
            fail("option '" + argument + "' needs a file name");
            return true;
        }
        have = true;
        (input ? result_.input : result_.output) =
            nameOf(name.empty() ? arguments_[++position_] : name);
        return true;
    }

    // Whether the run writes one file for each unit of a table.
    bool units() const { return !result_.unitsTable.empty() && !result_.unit && !compare_; }

    void checkUnits() {
        const bool table = !result_.unitsTable.empty();
        if (result_.unit && !table) {
            fail("--unit goes with --units FILE, the table that names the unit");
        } else if (table && compare_ && !result_.unit) {
            fail("--compare checks one unit: --units FILE --unit NAME");
        } else if (!result_.outputFolder.empty() && !units()) {
            fail("--output-dir goes with --units FILE and no --unit: it holds each unit's file");
        }
    }

    // The base configuration of a --units run, which writes each unit's file by its name.
    void assignBase() {
        if (haveOutput_ || plain_.size() + (haveInput_ ? 1 : 0) != 1) {
            fail(
                "--units without --unit takes the base configuration alone and writes one file "
                "for each unit (into --output-dir)");
        } else if (!plain_.empty()) {
            result_.input = nameOf(plain_[0]);
        }
    }

    void checkComparison() {
        if (plain_.size() != 2 || haveInput_ || haveOutput_) {
            fail("--compare needs two file names, A and B");
        } else if (result_.to) {
            fail("--to goes with a conversion; --compare writes no file");
        } else if ((!result_.sets.empty() || result_.unit) && plain_[0] == "-") {
            fail(
                "--set applies to A, the configuration text a unit is checked against, which "
                "must be named, not '-'");
        } else if (plain_[0] == "-" && plain_[1] == "-") {
            fail("--compare takes standard input for one file only");
        } else {
            result_.compared = {nameOf(plain_[0]), nameOf(plain_[1])};
        }
    }

    void assignNames() {
        const bool named = haveInput_ || haveOutput_;
        if (!result_.ignored.empty()) {
            fail("--ignore goes with --compare");
        } else if (plain_.size() == 1 && !named && plain_[0] != "-") {
            // One file named alone, as Windows names a file dropped on the executable.
            result_.input = nameOf(plain_[0]);
            result_.besideInput = true;
        } else if (!plain_.empty() && (named || plain_.size() > 2)) {
            fail("unexpected argument '" + (plain_.size() > 2 ? plain_[2] : plain_[0]) + "'");
        } else {
            assignPlainNames();
        }
    }

    // INPUT [OUTPUT] without options, or the names that -i and -o gave.
    void assignPlainNames() {
        for (std::size_t i = 0; i < plain_.size(); ++i) {
            (i == 0 ? result_.input : result_.output) = nameOf(plain_[i]);
            (i == 0 ? haveInput_ : haveOutput_) = true;
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
    bool compare_ = false;
};

// --help and --version win over everything before "--", mistakes included.
CommandLine::Action informationRequested(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "--") {
            break;
        }
        if (argument == "--help" || platform::asksForHelp(argument)) {
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
