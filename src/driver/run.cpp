#include "driver/run.hpp"

#include <functional>
#include <memory>

#include "config/config_record.hpp"
#include "driver/command_line.hpp"
#include "driver/compare.hpp"
#include "driver/conversion.hpp"
#include "eeprom/eeprom_image.hpp"

namespace kr570 {

namespace {

constexpr char kBanner[] = "KR570 Motor Controller Configuration Compiler Utility V" KR570_VERSION
                           "\n"
                           "Copyright KR570 Controls\n"
                           "\n"
                           "Enter input file with .hex or .txt extension - \n"
                           "program will convert according to the file extension\n\n";

constexpr char kFinished[] = "\nProgram finished!\n";

enum class Failure { InputOpen, OutputOpen, OutputIsInput, OutputWrite };

void printFailure(std::FILE* stream, Failure failure, const std::string& name) {
    switch (failure) {
        case Failure::InputOpen:
            std::fprintf(stream, "Can't open input file %s\n", name.c_str());
            break;
        case Failure::OutputOpen:
            std::fprintf(stream, "Can't open output file %s\n", name.c_str());
            break;
        case Failure::OutputIsInput:
            std::fprintf(stream, "Output file %s is the input file\n", name.c_str());
            break;
        case Failure::OutputWrite:
            std::fprintf(stream, "Can't write output file %s\n", name.c_str());
            break;
    }
}

// How a run tells the user that a file failed: the interactive run on the console followed by
// a key wait, so that the message stays readable in a window that closes on exit; the batch
// run on standard error, for scripts.
struct FailureReport {
    std::FILE* stream;
    ConsoleInput* keyWait;  // nullptr in a batch run
    std::FILE* console;

    int operator()(Failure failure, const std::string& name) const {
        printFailure(stream, failure, name);
        if (keyWait != nullptr) {
            std::fputs("Hit any key to exit\n", console);
            std::fflush(console);
            keyWait->waitForKey();
        }
        return kExitFailed;
    }
};

// The record and the image of one run: all zero at the start, then the record takes the
// controller's defaults before anything else happens.
struct RunData {
    ConfigRecord record{};
    EepromImage image{};

    static std::unique_ptr<RunData> withDefaults() {
        auto data = std::make_unique<RunData>();
        setDefaults(data->record);
        return data;
    }
};

// Opens both files, converts and closes them. The output name is asked for only once the
// input is open, as the interactive dialogue does.
int convertFiles(RunData& data, const std::string& inputName,
                 const std::function<std::string()>& outputName, const FailureReport& fail,
                 std::FILE* console, std::FILE* warnings) {
    std::FILE* input = openInput(inputName);
    if (input == nullptr) {
        return fail(Failure::InputOpen, inputName);
    }
    const std::string name = outputName();
    std::FILE* output = nullptr;
    const OutputOpening opening = openOutput(name, input, output);
    if (opening != OutputOpening::Opened) {
        std::fclose(input);
        return fail(
            opening == OutputOpening::IsInput ? Failure::OutputIsInput : Failure::OutputOpen, name);
    }
    Diagnostics diagnostics(warnings, inputName);
    convert(chooseDirection(inputName),
            Conversion{data.record, data.image, input, output, inputName, console, diagnostics});
    std::fclose(input);
    if (!closeOutput(output, name)) {
        return fail(Failure::OutputWrite, name);
    }
    return kExitConverted;
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
    const int status =
        convertFiles(*data, inputName, askOutputName,
                     FailureReport{console.out, &console.input, console.out}, console.out, nullptr);
    std::fputs(kFinished, console.out);
    return status;
}

int runBatch(const CommandLine& commandLine, Console& console) {
    const auto data = RunData::withDefaults();
    const int status = convertFiles(
        *data, commandLine.inputName, [&commandLine] { return commandLine.outputName; },
        FailureReport{console.err, nullptr, console.out}, console.out,
        commandLine.warnings ? console.err : nullptr);
    std::fputs(kFinished, console.out);
    return status;
}

int runCompare(const CommandLine& commandLine, Console& console) {
    const auto data = RunData::withDefaults();
    return compareFiles(
        CompareRun{commandLine.inputName, commandLine.outputName, commandLine.from, console.out,
                   console.err, commandLine.warnings ? console.err : nullptr},
        data->record, data->image);
}

}  // namespace

int runProgram(const std::vector<std::string>& arguments, Console& console) {
    const CommandLine commandLine = parseCommandLine(arguments);
    switch (commandLine.action) {
        case CommandLine::Action::Interactive:
            return runInteractive(console);
        case CommandLine::Action::Convert:
            return runBatch(commandLine, console);
        case CommandLine::Action::Compare:
            return runCompare(commandLine, console);
        case CommandLine::Action::Help:
            std::fputs(kUsageText, console.out);
            return kExitConverted;
        case CommandLine::Action::Version:
            std::fputs("KR570Convert V" KR570_VERSION "\n", console.out);
            return kExitConverted;
        case CommandLine::Action::UsageError:
            break;
    }
    std::fprintf(console.err, "kr570convert: %s\nTry 'kr570convert --help'\n",
                 commandLine.error.c_str());
    return kExitUsage;
}

}  // namespace kr570
