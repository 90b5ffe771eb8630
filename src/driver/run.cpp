#include "driver/run.hpp"

#include <cerrno>
#include <memory>

#include "driver/command_line.hpp"
#include "driver/compare.hpp"
#include "driver/conversion.hpp"
#include "driver/units.hpp"
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

// Keeps a window that the run owns open until the user has read it: Windows closes the window
// of a double-clicked program, or of one that a file was dropped on, the moment it ends.
void keepWindowOpen(Console& console) {
    if (platform::ownsConsoleWindow()) {
        putText("Hit any key to exit\n", console.out);
        (void)std::fflush(console.out);
        console.input.waitForKey();
    }
}

// Asks for a name at the dialogue: one word, never a standard stream.
FileName ask(Console& console, const char* prompt) {
    putText(prompt, console.out);
    (void)std::fflush(console.out);
    return FileName{console.input.readWord(platform::nameQuotes())};
}

int runInteractive(Console& console) {
    putText(kBanner, console.out);
    const auto configuration = std::make_unique<Configuration>();
    Reporter reporter = console.reporter(ReportMode{false, false, true});
    const FileName input = ask(console, "Enter input file name: ");
    const ConversionOutcome outcome = convertFile(
        CommandLine{}, input, [&console] { return ask(console, "Enter output file name: "); },
        console, reporter, *configuration);
    putText(kFinished, console.out);
    // A failure has had its key wait already.
    if (outcome.status == kExitSuccess && outcome.worthReading) {
        keepWindowOpen(console);
    }
    return outcome.status;
}

int runBatch(const CommandLine& given, Console& console) {
    const auto configuration = std::make_unique<Configuration>();
    Reporter reporter = console.reporter(ReportMode{given.quiet, given.strict, false});
    Units units;
    CommandLine commandLine;
    if (!withUnit(given, reporter, units, commandLine)) {
        return kExitUsage;
    }
    const ConversionOutcome outcome = convertFile(
        commandLine, commandLine.input, [&commandLine] { return commandLine.output; }, console,
        reporter, *configuration, commandLine.unit ? &units : nullptr);
    // A run that failed has said so; it ends there.
    if (!commandLine.quiet && outcome.status == kExitSuccess) {
        putText(kFinished, commandLine.output.standard ? console.err : console.out);
    }
    if (outcome.refusedWarnings > 0) {
        reporter.fail(Failure{reporter.warningCounts() + "; nothing written (--strict)"});
    }
    if (outcome.status != kExitSuccess || outcome.worthReading) {
        keepWindowOpen(console);
    }
    return outcome.status;
}

// A run that writes to standard output ends by making sure that it took everything; a run that
// failed to write it has already said so.
int checkStandardOutput(Console& console, int status, int failed) {
    errno = 0;
    if (std::fflush(console.out) == 0 && std::ferror(console.out) == 0) {
        return status;
    }
    if (status != failed) {
        console.reporter(ReportMode{})
            .fail(Failure{"Can't write standard output", errno != 0 ? errno : EIO});
    }
    return failed;
}

}  // namespace

int runProgram(const std::vector<std::string>& arguments, Console& console) {
    const CommandLine commandLine = parseCommandLine(arguments);
    switch (commandLine.action) {
        case CommandLine::Action::Interactive:
            return runInteractive(console);
        case CommandLine::Action::Convert:
            return checkStandardOutput(console, runBatch(commandLine, console), kExitFailed);
        case CommandLine::Action::Units:
            return checkStandardOutput(console, writeUnits(commandLine, console), kExitFailed);
        case CommandLine::Action::Compare:
            return checkStandardOutput(console, compareFiles(commandLine, console),
                                       kCompareTrouble);
        case CommandLine::Action::Help:
            putText(usageText().c_str(), console.out);
            return checkStandardOutput(console, kExitSuccess, kExitFailed);
        case CommandLine::Action::Version:
            putText("KR570Convert V" KR570_VERSION "\n", console.out);
            return checkStandardOutput(console, kExitSuccess, kExitFailed);
        case CommandLine::Action::UsageError:
            break;
    }
    console.reporter(ReportMode{}).usage(commandLine.mistake.what);
    keepWindowOpen(console);
    return kExitUsage;
}

}  // namespace kr570
