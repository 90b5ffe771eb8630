#include "driver/run.hpp"

#include <cerrno>
#include <functional>
#include <memory>

#include "config/config_record.hpp"
#include "driver/command_line.hpp"
#include "driver/compare.hpp"
#include "driver/conversion.hpp"
#include "eeprom/eeprom_image.hpp"
#include "io/output_file.hpp"
#include "platform/output.hpp"
#include "platform/platform.hpp"

namespace kr570 {

namespace {

constexpr char kBanner[] = "KR570 Motor Controller Configuration Compiler Utility V" KR570_VERSION
                           "\n"
                           "Copyright KR570 Controls\n"
                           "\n"
                           "Enter input file with .hex or .txt extension - \n"
                           "program will convert according to the file extension\n\n";

constexpr char kFinished[] = "\nProgram finished!\n";

enum class Failure {
    InputOpen,
    OutputOpen,
    OutputIsInput,
    OutputWrite,
    StandardOutputWrite,
    NotAReport
};

std::string failureText(Failure failure, const std::string& name) {
    switch (failure) {
        case Failure::InputOpen:
            return "Can't open input file " + name;
        case Failure::OutputOpen:
            return "Can't open output file " + name;
        case Failure::OutputIsInput:
            return "Output file " + name + " is the input file";
        case Failure::OutputWrite:
            return "Can't write output file " + name;
        case Failure::StandardOutputWrite:
            return "Can't write standard output";
        case Failure::NotAReport:
            break;
    }
    return name + " exists and was not written by kr570convert; use --force to replace it";
}

// How a run tells the user that a file failed: the interactive run on the console followed by
// a key wait, so that the message stays readable in a window that closes on exit; the batch
// run on standard error, for scripts and logs, with the program's name and the reason.
struct FailureReport {
    std::FILE* stream;
    ConsoleInput* keyWait;  // nullptr in a batch run
    std::FILE* console;

    int operator()(Failure failure, const std::string& name, int error = 0) const {
        const std::string text = failureText(failure, name);
        if (keyWait == nullptr) {
            const std::string reason = error != 0 ? ": " + platform::describeError(error) : "";
            std::fprintf(stream, "kr570convert: %s%s\n", text.c_str(), reason.c_str());
            return kExitFailed;
        }
        std::fprintf(stream, "%s\n", text.c_str());
        std::fputs("Hit any key to exit\n", console);
        std::fflush(console);
        keyWait->waitForKey();
        return kExitFailed;
    }
};

// The record, the image and the output of one run. The record and the image are all zero at
// the start, then the record takes the controller's defaults before anything else happens.
struct RunData {
    ConfigRecord record{};
    EepromImage image{};
    OutputFile output;
    int refusedWarnings = 0;  // warnings that made a --strict run write nothing

    static std::unique_ptr<RunData> withDefaults() {
        auto data = std::make_unique<RunData>();
        setDefaults(data->record);
        return data;
    }
};

// How a run goes: the interactive run takes every default.
struct RunChoices {
    bool batch = false;  // names on the command line; '-' names a standard stream
    bool quiet = false;
    bool strict = false;
    bool force = false;
    CommandLine::InputKind from = CommandLine::InputKind::ByName;
};

// How warnings and the --strict line name the input of a batch run.
std::string warningName(const std::string& inputName, bool fromStandardInput) {
    return fromStandardInput ? "(standard input)" : inputName;
}

// Closes the input of a run unless it is standard input, which is not the run's to close.
struct InputCloser {
    void operator()(std::FILE* input) const {
        if (input != stdin) {
            std::fclose(input);
        }
    }
};
using Input = std::unique_ptr<std::FILE, InputCloser>;

// What a run needs to know about its two files once both are named.
struct Files {
    std::FILE* input;
    bool fromStandardInput;
    const std::string& outputName;
    bool toStandardOutput;
    Direction direction;
};

// Checks the output and gets it ready without changing it: standard output, or a file that is
// not the input and, for a report, holds no text of the user's. 0, or the failure's status.
int prepareOutput(RunData& data, const RunChoices& choices, const Files& files, Console& console,
                  const FailureReport& fail) {
    const std::string& name = files.outputName;
    if (files.toStandardOutput) {
        data.output.useStream(console.out);
        return 0;
    }
    if (!files.fromStandardInput && isSameFile(files.input, name)) {
        return fail(Failure::OutputIsInput, name);
    }
    if (choices.batch && !choices.force && files.direction == Direction::HexToText &&
        holdsOtherText(name)) {
        return fail(Failure::NotAReport, name);
    }
    if (!data.output.open(name)) {
        return fail(Failure::OutputOpen, name, data.output.error());
    }
    return 0;
}

// Reads the input, then writes the output, unless --strict finds warnings in between.
int convert(RunData& data, const RunChoices& choices, const Files& files,
            const std::string& inputName, Console& console, const FailureReport& fail) {
    std::FILE* const shown =
        choices.quiet ? nullptr : (files.toStandardOutput ? console.err : console.out);
    Diagnostics diagnostics(choices.batch && !choices.quiet ? console.err : nullptr,
                            warningName(inputName, files.fromStandardInput));
    const Conversion conversion{data.record, data.image, files.input,
                                inputName,   shown,      diagnostics};
    readInput(files.direction, conversion);
    if (choices.strict && diagnostics.count() > 0) {
        data.output.discard();
        data.refusedWarnings = diagnostics.count();
        return kExitFailed;
    }
    writeOutput(files.direction, conversion, data.output.beginWriting());
    if (!data.output.commit()) {
        return fail(files.toStandardOutput ? Failure::StandardOutputWrite : Failure::OutputWrite,
                    files.outputName, data.output.error());
    }
    return kExitConverted;
}

// Opens both files, converts and puts the output in place. The output name is asked for only
// once the input is open, as the interactive dialogue does.
int convertFiles(RunData& data, const RunChoices& choices, const std::string& inputName,
                 const std::function<std::string()>& outputName, Console& console) {
    const FailureReport fail = choices.batch
                                   ? FailureReport{console.err, nullptr, console.out}
                                   : FailureReport{console.out, &console.input, console.out};
    const bool fromStandardInput = choices.batch && inputName == "-";
    int error = 0;
    // Standard input is read as it comes, like a named input opened "rb": a CR or a Ctrl-Z
    // must mean the same on every system.
    if (fromStandardInput) {
        platform::setBinaryMode(stdin);
    }
    const Input input(fromStandardInput ? stdin : openInput(inputName, error));
    if (!input) {
        return fail(Failure::InputOpen, inputName, error);
    }
    const std::string name = outputName();
    const Files files{input.get(), fromStandardInput, name, choices.batch && name == "-",
                      chooseDirection(inputName, choices.from)};
    const int refused = prepareOutput(data, choices, files, console, fail);
    if (refused != 0) {
        return refused;
    }
    return convert(data, choices, files, inputName, console, fail);
}

int runInteractive(Console& console) {
    std::fputs(kBanner, console.out);
    const auto data = RunData::withDefaults();
    std::fputs("Enter input file name: ", console.out);
    std::fflush(console.out);
    const std::string inputName = console.input.readWord();
    const auto askOutputName = [&console] {
        std::fputs("Enter output file name: ", console.out);
        std::fflush(console.out);
        return console.input.readWord();
    };
    const int status = convertFiles(*data, RunChoices{}, inputName, askOutputName, console);
    std::fputs(kFinished, console.out);
    return status;
}

int runBatch(const CommandLine& commandLine, Console& console) {
    const auto data = RunData::withDefaults();
    RunChoices choices;
    choices.batch = true;
    choices.quiet = commandLine.quiet;
    choices.strict = commandLine.strict;
    choices.force = commandLine.force;
    choices.from = commandLine.from;
    const int status = convertFiles(
        *data, choices, commandLine.inputName, [&commandLine] { return commandLine.outputName; },
        console);
    if (!choices.quiet) {
        std::fputs(kFinished, commandLine.outputName == "-" ? console.err : console.out);
    }
    if (data->refusedWarnings > 0) {
        std::fprintf(console.err, "kr570convert: %s: %d warning(s); nothing written (--strict)\n",
                     warningName(commandLine.inputName, commandLine.inputName == "-").c_str(),
                     data->refusedWarnings);
    }
    return status;
}

// A batch run, --help and --version end by making sure that standard output took everything.
int checkStandardOutput(Console& console, int status) {
    errno = 0;
    const bool written = std::fflush(console.out) == 0 && std::ferror(console.out) == 0;
    if (!written && status != kExitFailed) {
        return FailureReport{console.err, nullptr, console.out}(Failure::StandardOutputWrite, "",
                                                                errno != 0 ? errno : EIO);
    }
    return written ? status : kExitFailed;
}

// Warnings about either file are shown as in a conversion, unless --quiet.
int runCompare(const CommandLine& commandLine, Console& console) {
    const auto data = RunData::withDefaults();
    return compareFiles(
        CompareRun{commandLine.inputName, commandLine.outputName, commandLine.from, console.out,
                   console.err, commandLine.quiet ? nullptr : console.err},
        data->record, data->image);
}

}  // namespace

int runProgram(const std::vector<std::string>& arguments, Console& console) {
    const CommandLine commandLine = parseCommandLine(arguments);
    switch (commandLine.action) {
        case CommandLine::Action::Interactive:
            return runInteractive(console);
        case CommandLine::Action::Convert:
            return checkStandardOutput(console, runBatch(commandLine, console));
        case CommandLine::Action::Compare:
            return runCompare(commandLine, console);
        case CommandLine::Action::Help:
            std::fputs(kUsageText, console.out);
            return checkStandardOutput(console, kExitConverted);
        case CommandLine::Action::Version:
            std::fputs("KR570Convert V" KR570_VERSION "\n", console.out);
            return checkStandardOutput(console, kExitConverted);
        case CommandLine::Action::UsageError:
            break;
    }
    std::fprintf(console.err, "kr570convert: %s\nTry 'kr570convert --help'\n",
                 commandLine.error.c_str());
    return kExitUsage;
}

}  // namespace kr570
