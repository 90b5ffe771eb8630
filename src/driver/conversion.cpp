#include "driver/conversion.hpp"

#include "config/motor_estimates.hpp"
#include "driver/existing_output.hpp"
#include "driver/units.hpp"
#include "io/output_file.hpp"
#include "io/text_output.hpp"
#include "platform/platform.hpp"

namespace kr570 {

namespace {

// Everything one conversion works with, once the input is open.
struct Conversion {
    const CommandLine& choices;
    const FileName& input;
    std::FILE* inputStream;
    ByteSource source;
    Console& console;
    Reporter& reporter;
    const Units* units;  // the table whose unit the run makes, or nullptr
    FileName output{};
    std::optional<FileKind> requested{};  // what --to or the output's name asks to write
    platform::OutputTarget target{};
    OutputFile file{};
    FileKind inputKind = FileKind::Text;
    FileKind outputKind = FileKind::IntelHex;
};

// The kind of the input, by --from, its content or its name, and so what is written.
void chooseKinds(Conversion& c) {
    Diagnostics diagnostics(c.reporter, c.input.shown());
    c.inputKind = chooseKind(Input{c.source, c.input, c.choices.from}, diagnostics);
    c.outputKind = c.requested.value_or(isImage(c.inputKind) ? FileKind::Text : FileKind::IntelHex);
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

// An existing output is replaced only when nothing of it is lost, or with --force; false once
// the failure is told.
bool outputMayBeReplaced(Conversion& c, const Configuration& configuration) {
    const auto loss = c.output.standard || c.choices.force
                          ? std::nullopt
                          : lossOnReplacing(c.target, c.outputKind, configuration.given);
    if (loss) {
        c.file.discard();
        c.reporter.fail(Failure{keptOutput(c.output.given, *loss, c.reporter.mode().dialogue)});
    }
    return !loss;
}

// A unit must not take an address another unit of its table has; false once told.
bool unitAddressFree(Conversion& c, const ConfigRecord& base) {
    const auto problems =
        c.units != nullptr ? sharedAddresses(*c.units, base) : std::vector<std::string>{};
    for (const std::string& problem : problems) {
        c.reporter.fail(Failure{problem});
    }
    return problems.empty();
}

// Writes the output and puts it in place; false once a failure is told.
bool write(Conversion& c, const Configuration& configuration, bool& worthReading) {
    std::FILE* const shown = c.choices.quiet     ? nullptr
                             : c.output.standard ? c.console.err
                                                 : c.console.out;
    if (!isImage(c.inputKind) && shown != nullptr) {
        writeMotorParameterBlock(shown, configuration.record);
        worthReading = worthReading || !c.reporter.mode().dialogue;
    }
    writeConfiguration(c.outputKind, c.file.beginWriting(), configuration, c.input.given);
    if (c.file.commit()) {
        return true;
    }
    c.reporter.fail(Failure{c.output.standard ? "Can't write standard output"
                                              : "Can't write output file " + c.output.given,
                            c.file.error()});
    return false;
}

// Loads the input, then writes the output, unless --strict finds warnings in between.
ConversionOutcome convert(Conversion& c, Configuration& configuration) {
    ConversionOutcome outcome{kExitFailed};
    const Input input{c.source, c.input, c.inputKind, c.choices.force};
    const auto failure = readConfiguration(input, c.reporter, configuration);
    if (failure || !unitAddressFree(c, configuration.record)) {
        c.file.discard();
        if (failure) {
            c.reporter.fail(*failure);
        }
        return {failure ? kExitFailed : kExitUsage};
    }
    Diagnostics diagnostics(c.reporter, c.input.shown());
    finishConfiguration(c.choices.sets, diagnostics, configuration);
    outcome.worthReading = c.reporter.showedWarnings();
    if (!outputMayBeReplaced(c, configuration)) {
        return outcome;
    }
    if (c.choices.strict && c.reporter.warnings() > 0) {
        c.file.discard();
        outcome.refusedWarnings = c.reporter.warnings();
        return outcome;
    }
    outcome.status = write(c, configuration, outcome.worthReading) ? kExitSuccess : kExitFailed;
    return outcome;
}

// Names the output: beside the input for a file named alone (or dropped on the tool), else as
// given; false once a mistake in the name is told.
bool nameOutput(Conversion& c, const std::function<FileName()>& outputName) {
    if (c.choices.besideInput) {
        chooseKinds(c);
        c.output = FileName{nameBeside(c.input.given, c.outputKind)};
        return true;
    }
    c.output = outputName();
    if (!c.reporter.mode().dialogue) {
        return true;  // the command line has heard the name already
    }
    std::string mistake;
    c.requested = kindWritten(c.output.given, c.requested, mistake);
    if (!mistake.empty()) {
        c.reporter.fail(Failure{mistake});
    }
    return mistake.empty();
}

}  // namespace

ConversionOutcome convertFile(const CommandLine& choices, const FileName& input,
                              const std::function<FileName()>& outputName, Console& console,
                              Reporter& reporter, Configuration& configuration,
                              const Units* units) {
    const InputStream stream = openInput(input, console.in, reporter);
    if (!stream) {
        return {kExitFailed};
    }
    Conversion c{choices, input, stream.get(), ByteSource(stream.get()), console, reporter, units};
    c.requested = choices.to;
    if (!nameOutput(c, outputName)) {
        return {kExitUsage};
    }
    if (!prepareOutput(c)) {
        return {kExitFailed};
    }
    if (!choices.besideInput) {
        chooseKinds(c);
    }
    const ConversionOutcome outcome = convert(c, configuration);
    // The name made beside the input is told once the file is there.
    if (outcome.status == kExitSuccess && choices.besideInput && !choices.quiet) {
        printText(console.out, "Output file: %s\n", c.output.given.c_str());
    }
    return outcome;
}

}  // namespace kr570
