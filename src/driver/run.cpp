#include "driver/run.hpp"

#include <functional>
#include <memory>

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
    // Whether the run showed what a user must be able to read before a window that the run
    // owns closes: a warning, or the motor estimates of a batch run.
    bool worthReading = false;

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

// Both files of a run, each worked out once: where they are, how messages name them and what
// they hold.
struct Files {
    std::string inputName;  // as the user gave it; the report names it
    bool fromStandardInput = false;
    std::string inputShown;  // how warnings and the --strict line name the input
    FileKind inputKind = FileKind::Text;
    std::string outputName;
    bool toStandardOutput = false;
    platform::OutputTarget outputTarget;
    FileKind outputKind = FileKind::IntelHex;
};

// Everything one conversion works with, once both files are named.
struct Conversion {
    RunData& data;
    const CommandLine& choices;
    Files& files;
    std::FILE* input;
    ByteSource& source;
    Diagnostics& diagnostics;
    Console& console;
    FailureReport& report;
};

// Gets the output ready without changing it yet: standard output, or a file that is not the
// input; false once the failure is told. It is ready before the input is read at all, so that
// a run stopped while it waits for input leaves nothing behind.
bool prepareOutput(const Conversion& c) {
    const std::string& name = c.files.outputName;
    if (c.files.toStandardOutput) {
        c.data.output.useStream(c.console.out);
        return true;
    }
    if (!c.files.fromStandardInput && isSameFile(c.input, name)) {
        c.report.fail(0, "Output file %s is the input file", name.c_str());
        return false;
    }
    c.files.outputTarget = platform::inspectOutput(name);
    if (!c.data.output.open(name, c.files.outputTarget)) {
        c.report.fail(c.data.output.error(), "Can't open output file %s", name.c_str());
        return false;
    }
    return true;
}

// A report never replaces a text of the user's; false once the failure is told.
bool outputMayBeReplaced(const Conversion& c) {
    if (c.files.toStandardOutput || c.choices.force || c.files.outputKind != FileKind::Text ||
        !holdsOtherText(c.files.outputTarget)) {
        return true;
    }
    c.data.output.discard();
    c.report.fail(0, "%s exists and was not written by kr570convert; %s",
                  c.files.outputName.c_str(),
                  isBatch(c.choices) ? "use --force to replace it" : "it is kept");
    return false;
}

// Reads the input into the record and the image; false, once the failure is told and the
// output given up, when it could not be read whole or holds no configuration.
bool read(const Conversion& c) {
    if (readWholeInput(c.files.inputKind, c.source, c.files.inputShown, c.data.record, c.data.image,
                       c.diagnostics, c.report)) {
        return true;
    }
    c.data.output.discard();
    return false;
}

// What the input holds, by --from, its content or its name, and so what is written.
void chooseKinds(const Conversion& c) {
    c.files.inputKind = chooseKind(c.source, c.files.inputName, c.choices.from, c.diagnostics);
    c.files.outputKind = c.choices.to.value_or(defaultOutputKind(c.files.inputKind));
}

// Reads the input, then writes the output, unless --strict finds warnings in between.
int convert(const Conversion& c) {
    if (!read(c)) {
        return kExitFailed;
    }
    const int setWarnings =
        applySettings(c.choices.sets, c.data.record, c.choices.quiet ? nullptr : c.console.err);
    std::FILE* const shown = c.choices.quiet            ? nullptr
                             : c.files.toStandardOutput ? c.console.err
                                                        : c.console.out;
    if (c.files.inputKind == FileKind::Text && shown != nullptr) {
        writeMotorParameterBlock(shown, c.data.record);
        c.data.worthReading = c.data.worthReading || isBatch(c.choices);
    }
    checkSettings(c.files.inputKind, !c.choices.sets.empty(), c.data.record, c.diagnostics);
    const int warnings = c.diagnostics.count() + setWarnings;
    c.data.worthReading = c.data.worthReading || (warnings > 0 && !c.choices.quiet);
    if (c.choices.strict && warnings > 0) {
        c.data.output.discard();
        c.data.refusedWarnings = warnings;
        return kExitFailed;
    }
    packBlock(c.data.image, c.data.record);
    std::FILE* const output = c.data.output.beginWriting();
    if (c.files.outputKind == FileKind::Binary) {
        platform::setBinaryMode(output);  // the block's bytes as they stand, on every system
    }
    writeOutput(c.files.outputKind, output, c.data.record, c.data.image, c.files.inputName);
    if (!c.data.output.commit()) {
        if (c.files.toStandardOutput) {
            c.report.fail(c.data.output.error(), "Can't write standard output");
        } else {
            c.report.fail(c.data.output.error(), "Can't write output file %s",
                          c.files.outputName.c_str());
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
    const InputStream input = openInput(inputName, files.fromStandardInput, console.in, error);
    if (!input) {
        report.fail(error, "Can't open input file %s", inputName.c_str());
        return kExitFailed;
    }
    files.outputName = choices.besideInput ? std::string() : outputName();
    files.toStandardOutput = isBatch(choices) && files.outputName == "-";
    // Warnings go to standard error in the dialogue too: its standard output is the dialogue.
    Diagnostics diagnostics(choices.quiet ? nullptr : console.err, files.inputShown);
    ByteSource source(input.get());
    const Conversion conversion{data,   choices,     files,   input.get(),
                                source, diagnostics, console, report};
    if (choices.besideInput) {
        // A file dropped on the tool, or named alone: its output goes beside it, named after it.
        chooseKinds(conversion);
        files.outputName = nameBeside(inputName, files.outputKind);
        if (!choices.quiet) {
            printText(console.out, "Output file: %s\n", files.outputName.c_str());
        }
    }
    if (!prepareOutput(conversion)) {
        return kExitFailed;
    }
    if (!choices.besideInput) {
        chooseKinds(conversion);
    }
    if (!outputMayBeReplaced(conversion)) {
        return kExitFailed;
    }
    return convert(conversion);
}

// Keeps a window that the run owns open until the user has read it: Windows closes the window
// of a double-clicked program, or of one that a file was dropped on, the moment it ends.
void keepWindowOpen(Console& console) {
    if (platform::ownsConsoleWindow()) {
        putText("Hit any key to exit\n", console.out);
        (void)std::fflush(console.out);
        console.input.waitForKey();
    }
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
    // A failure has had its key wait already.
    if (status == kExitConverted && data->worthReading) {
        keepWindowOpen(console);
    }
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
    if (status != kExitConverted || data->worthReading) {
        keepWindowOpen(console);
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
    keepWindowOpen(console);
    return kExitUsage;
}

}  // namespace kr570
