#include "driver/conversion.hpp"

#include <cstring>

#include "config/motor_estimates.hpp"
#include "io/output_file.hpp"
#include "io/text_output.hpp"
#include "platform/platform.hpp"

namespace kr570 {

namespace {

// The first line of every report, as the report writer begins it.
constexpr char kReportStart[] = "; KR570 Configuration File created by KR570Convert";

// Whether the output holds text of its own that a report would replace: a non-empty regular
// file that does not begin with the first line of a report.
bool holdsOtherText(const platform::OutputTarget& target) {
    const bool regular = target.kind == platform::TargetKind::RegularFile ||
                         target.kind == platform::TargetKind::SharedFile;
    if (!regular || target.empty) {
        return false;
    }
    // A file that cannot be read cannot be told to be a report: it is kept.
    std::FILE* const existing = platform::openForReading(target.path).stream;
    if (existing == nullptr) {
        return true;
    }
    char start[sizeof kReportStart - 1];
    const std::size_t got = std::fread(start, 1, sizeof start, existing);
    (void)std::fclose(existing);  // read only: closing loses nothing
    return got != sizeof start || std::memcmp(start, kReportStart, sizeof start) != 0;
}

// Everything one conversion works with, once the input is open.
struct Conversion {
    const CommandLine& choices;
    const FileName& input;
    std::FILE* inputStream;
    ByteSource source;
    FileName output;
    platform::OutputTarget target;
    OutputFile file;
    FileKind inputKind = FileKind::Text;
    FileKind outputKind = FileKind::IntelHex;
    Console& console;
    Reporter& reporter;
};

// The kind of the input, by --from, its content or its name, and so what is written.
void chooseKinds(Conversion& c) {
    Diagnostics diagnostics(c.reporter, c.input.shown());
    c.inputKind = chooseKind(Input{c.source, c.input, c.choices.from}, diagnostics);
    c.outputKind =
        c.choices.to.value_or(isImage(c.inputKind) ? FileKind::Text : FileKind::IntelHex);
}

// Gets the output ready without changing it yet: standard output, or a file that is not the
// input; false once the failure is told. It is ready before the input is read at all, so that
// a run stopped while it waits for input leaves nothing behind.
bool prepareOutput(Conversion& c) {
    const std::string& name = c.output.given;
    if (c.output.standard) {
        c.file.useStream(c.console.out);
        return true;
    }
    c.target = platform::inspectOutput(name);
    if (!c.input.standard && c.target.identity &&
        c.target.identity == platform::identityOf(c.inputStream)) {
        c.reporter.fail(Failure{"Output file " + name + " is the input file"});
        return false;
    }
    if (!c.file.open(name, c.target)) {
        c.reporter.fail(Failure{"Can't open output file " + name, c.file.error()});
        return false;
    }
    return true;
}

// A report never replaces a text of the user's; false once the failure is told.
bool outputMayBeReplaced(Conversion& c) {
    if (c.output.standard || c.choices.force || c.outputKind != FileKind::Text ||
        !holdsOtherText(c.target)) {
        return true;
    }
    c.file.discard();
    c.reporter.fail(
        Failure{c.output.given + " exists and was not written by kr570convert; " +
                (c.reporter.mode().dialogue ? "it is kept" : "use --force to replace it")});
    return false;
}

// Loads the input, then writes the output, unless --strict finds warnings in between.
ConversionOutcome convert(Conversion& c, Configuration& configuration) {
    ConversionOutcome outcome;
    const Input input{c.source, c.input, c.inputKind};
    if (const auto failure = loadConfiguration(input, c.choices.sets, c.reporter, configuration)) {
        c.file.discard();
        c.reporter.fail(*failure);
        return {kExitFailed};
    }
    std::FILE* const shown = c.choices.quiet     ? nullptr
                             : c.output.standard ? c.console.err
                                                 : c.console.out;
    if (!isImage(c.inputKind) && shown != nullptr) {
        writeMotorParameterBlock(shown, configuration.record);
        outcome.worthReading = !c.reporter.mode().dialogue;
    }
    outcome.worthReading = outcome.worthReading || c.reporter.showedWarnings();
    if (c.choices.strict && c.reporter.warnings() > 0) {
        c.file.discard();
        outcome.refusedWarnings = c.reporter.warnings();
        outcome.status = kExitFailed;
        return outcome;
    }
    writeConfiguration(c.outputKind, c.file.beginWriting(), configuration, c.input.given);
    if (!c.file.commit()) {
        c.reporter.fail(Failure{c.output.standard ? "Can't write standard output"
                                                  : "Can't write output file " + c.output.given,
                                c.file.error()});
        outcome.status = kExitFailed;
    }
    return outcome;
}

}  // namespace

ConversionOutcome convertFile(const CommandLine& choices, const FileName& input,
                              const std::function<FileName()>& outputName, Console& console,
                              Reporter& reporter, Configuration& configuration) {
    const InputStream stream = openInput(input, console.in, reporter);
    if (!stream) {
        return {kExitFailed};
    }
    Conversion c{choices, input, stream.get(),   ByteSource(stream.get()), {},
                 {},      {},    FileKind::Text, FileKind::IntelHex,       console,
                 reporter};
    if (choices.besideInput) {
        // A file dropped on the tool, or named alone: its output goes beside it, named after it.
        chooseKinds(c);
        c.output = FileName{nameBeside(input.given, c.outputKind)};
        if (!choices.quiet) {
            printText(console.out, "Output file: %s\n", c.output.given.c_str());
        }
    } else {
        c.output = outputName();
    }
    if (!prepareOutput(c)) {
        return {kExitFailed};
    }
    if (!choices.besideInput) {
        chooseKinds(c);
    }
    if (!outputMayBeReplaced(c)) {
        return {kExitFailed};
    }
    return convert(c, configuration);
}

}  // namespace kr570
