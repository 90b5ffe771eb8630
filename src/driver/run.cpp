#include "driver/run.hpp"

#include <functional>
#include <memory>
#include <optional>

#include "config/config_record.hpp"
#include "config/motor_estimates.hpp"
#include "driver/command_line.hpp"
#include "driver/compare.hpp"
#include "driver/conversion.hpp"
#include "eeprom/config_block.hpp"
#include "eeprom/eeprom_image.hpp"
#include "io/output_file.hpp"
#include "io/text_output.hpp"
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

// Whether a run takes its names from the command line, where '-' names a standard stream; the
// interactive run takes every option's default.
bool isBatch(const CommandLine& choices) {
    return choices.action != CommandLine::Action::Interactive;
}

// Closes the input of a run unless it is standard input, which is not the run's to close.
struct InputCloser {
    void operator()(std::FILE* input) const {
        if (input != stdin) {
            (void)std::fclose(input);  // read only: closing loses nothing
        }
    }
};
using InputStream = std::unique_ptr<std::FILE, InputCloser>;

// Both files of a run, each worked out once: where they are, how messages name them and what
// they hold.
struct Files {
    std::string inputName;  // as the user gave it; the report names it
    bool fromStandardInput = false;
    std::string inputShown;  // how warnings and the --strict line name the input
    FileKind inputKind = FileKind::Text;
    std::string outputName;
    bool toStandardOutput = false;
    FileKind outputKind = FileKind::IntelHex;
};

// How warnings and the --strict line name an input.
std::string shownName(const std::string& name, bool standardInput) {
    return standardInput ? "(standard input)" : name;
}

// Checks the output and gets it ready without changing it: standard output, or a file that is
// not the input and, for a report, holds no text of the user's; false once the failure is told.
bool prepareOutput(RunData& data, const CommandLine& choices, const Files& files, std::FILE* input,
                   Console& console, FailureReport& report) {
    const std::string& name = files.outputName;
    if (files.toStandardOutput) {
        data.output.useStream(console.out);
        return true;
    }
    if (!files.fromStandardInput && isSameFile(input, name)) {
        report.fail(0, "Output file %s is the input file", name.c_str());
        return false;
    }
    const platform::OutputTarget target = platform::inspectOutput(name);
    if (!choices.force && files.outputKind == FileKind::Text && holdsOtherText(target)) {
        report.fail(0, "%s exists and was not written by kr570convert; %s", name.c_str(),
                    isBatch(choices) ? "use --force to replace it" : "it is kept");
        return false;
    }
    if (!data.output.open(name, target)) {
        report.fail(data.output.error(), "Can't open output file %s", name.c_str());
        return false;
    }
    return true;
}

// Reads the input, then writes the output, unless --strict finds warnings in between.
int convert(RunData& data, const CommandLine& choices, const Files& files, std::FILE* input,
            Console& console, FailureReport& report) {
    std::FILE* const shown =
        choices.quiet ? nullptr : (files.toStandardOutput ? console.err : console.out);
    Diagnostics diagnostics(isBatch(choices) && !choices.quiet ? console.err : nullptr,
                            files.inputShown);
    ByteSource source(input);
    readInput(files.inputKind, source, data.record, data.image, diagnostics);
    if (source.readError() != 0) {
        data.output.discard();
        report.fail(source.readError(), "Can't read input file %s", files.inputName.c_str());
        return kExitFailed;
    }
    if (files.inputKind == FileKind::Text && shown != nullptr) {
        writeMotorParameterBlock(shown, data.record);
    }
    checkSettings(files.inputKind, data.record, diagnostics);
    if (choices.strict && diagnostics.count() > 0) {
        data.output.discard();
        data.refusedWarnings = diagnostics.count();
        return kExitFailed;
    }
    packBlock(data.image, data.record);
    writeOutput(files.outputKind, data.output.beginWriting(), data.record, data.image,
                files.inputName);
    if (!data.output.commit()) {
        if (files.toStandardOutput) {
            report.fail(data.output.error(), "Can't write standard output");
        } else {
            report.fail(data.output.error(), "Can't write output file %s",
                        files.outputName.c_str());
        }
        return kExitFailed;
    }
    return kExitConverted;
}

// Opens both files, converts and puts the output in place. The output name is asked for only
// once the input is open, as the interactive dialogue does.
int convertFiles(RunData& data, const CommandLine& choices, const std::string& inputName,
                 const std::function<std::string()>& outputName, Console& console) {
    FailureReport report(console, !isBatch(choices));
    Files files;
    files.inputName = inputName;
    files.fromStandardInput = isBatch(choices) && inputName == "-";
    files.inputShown = shownName(inputName, files.fromStandardInput);
    int error = 0;
    // Standard input is read as it comes, like a named input: a CR or a Ctrl-Z must mean the
    // same on every system.
    if (files.fromStandardInput) {
        platform::setBinaryMode(stdin);
    }
    const InputStream input(files.fromStandardInput ? stdin : openInput(inputName, error));
    if (!input) {
        report.fail(error, "Can't open input file %s", inputName.c_str());
        return kExitFailed;
    }
    files.outputName = outputName();
    files.toStandardOutput = isBatch(choices) && files.outputName == "-";
    files.inputKind = choices.from.value_or(kindByName(inputName));
    files.outputKind = defaultOutputKind(files.inputKind);
    if (!prepareOutput(data, choices, files, input.get(), console, report)) {
        return kExitFailed;
    }
    return convert(data, choices, files, input.get(), console, report);
}

int runInteractive(Console& console) {
    putText(kBanner, console.out);
    const auto data = RunData::withDefaults();
    putText("Enter input file name: ", console.out);
    (void)std::fflush(console.out);
    const std::string inputName = console.input.readWord();
    const auto askOutputName = [&console] {
        putText("Enter output file name: ", console.out);
        (void)std::fflush(console.out);
        return console.input.readWord();
    };
    const int status = convertFiles(*data, CommandLine{}, inputName, askOutputName, console);
    putText(kFinished, console.out);
    return status;
}

int runBatch(const CommandLine& commandLine, Console& console) {
    const auto data = RunData::withDefaults();
    const int status = convertFiles(
        *data, commandLine, commandLine.inputName,
        [&commandLine] { return commandLine.outputName; }, console);
    if (!commandLine.quiet) {
        putText(kFinished, commandLine.outputName == "-" ? console.err : console.out);
    }
    if (data->refusedWarnings > 0) {
        printText(console.err, "kr570convert: %s: %d warning(s); nothing written (--strict)\n",
                  shownName(commandLine.inputName, commandLine.inputName == "-").c_str(),
                  data->refusedWarnings);
    }
    return status;
}

// A run that writes to standard output ends by making sure that it took everything; a run that
// failed to write it has already said so.
int checkStandardOutput(Console& console, int status, int failed) {
    if (status == failed) {
        (void)std::fflush(console.out);
        return status;
    }
    return standardOutputWritten(console) ? status : failed;
}

}  // namespace

int runProgram(const std::vector<std::string>& arguments, Console& console) {
    const CommandLine commandLine = parseCommandLine(arguments);
    switch (commandLine.action) {
        case CommandLine::Action::Interactive:
            return runInteractive(console);
        case CommandLine::Action::Convert:
            return checkStandardOutput(console, runBatch(commandLine, console), kExitFailed);
        case CommandLine::Action::Compare: {
            const auto data = RunData::withDefaults();
            const int status = compareFiles(commandLine, console, data->record, data->image);
            return checkStandardOutput(console, status, kCompareTrouble);
        }
        case CommandLine::Action::Help:
            putText(kUsageText, console.out);
            return checkStandardOutput(console, kExitConverted, kExitFailed);
        case CommandLine::Action::Version:
            putText("KR570Convert V" KR570_VERSION "\n", console.out);
            return checkStandardOutput(console, kExitConverted, kExitFailed);
        case CommandLine::Action::UsageError:
            break;
    }
    FailureReport(console, false).usage(commandLine.error);
    return kExitUsage;
}

}  // namespace kr570
