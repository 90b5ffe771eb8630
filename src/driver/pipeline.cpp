#include "driver/pipeline.hpp"

#include <algorithm>
#include <cerrno>

#include "config/motor_estimates.hpp"
#include "eeprom/config_block.hpp"
#include "eeprom/image_store.hpp"
#include "platform/platform.hpp"
#include "text/config_parser.hpp"
#include "text/config_report.hpp"

namespace kr570 {

namespace {

// Reads an image file into the image; why it holds no configuration, or nothing.
std::optional<std::string> readImage(const KindRow& kind, ByteSource& input, EepromImage& image,
                                     Diagnostics& diagnostics) {
    // A raw image has no lines to name.
    ImageStore store(image, diagnostics, kind.binary ? nullptr : &input);
    kind.read(input, store, diagnostics);
    const std::size_t given = store.blockBytesGiven();
    if (given == 0) {
        return "it gives no data for the configuration block (addresses 0 to 71)";
    }
    if (std::all_of(image.data(), image.data() + block::kLength,
                    [](std::uint8_t byte) { return byte == 0xFF; })) {
        return "the EEPROM is erased (every byte 0xff)";
    }
    if (given < block::kLength) {
        diagnostics.warn(0,
                         "only %u of the %u bytes of the configuration block are in the file; "
                         "the others read as 0",
                         static_cast<unsigned>(given), static_cast<unsigned>(block::kLength));
    }
    if (!hasBlockSignature(image)) {
        diagnostics.warn(0,
                         "no configuration block signature (85 c2 1e 4f 11) at address 0; the "
                         "first 72 bytes are read as a block all the same");
    }
    return std::nullopt;
}

// Reads the input into the configuration; why it holds none, or nothing.
std::optional<std::string> readInput(const Input& input, Configuration& into,
                                     Diagnostics& diagnostics) {
    into.kind = chooseKind(input, diagnostics);
    if (!isImage(into.kind)) {
        // Every text starts from the state of a fresh run: all zero, then the defaults.
        into.record = ConfigRecord{};
        setDefaults(into.record);
        parseConfigText(input.bytes, into.record, diagnostics);
        return std::nullopt;
    }
    std::optional<std::string> none =
        readImage(kindRow(into.kind), input.bytes, into.image, diagnostics);
    if (!none) {
        unpackBlock(into.image, into.record);
    }
    return none;
}

}  // namespace

FileKind chooseKind(const Input& input, Diagnostics& diagnostics) {
    if (input.kind) {
        return *input.kind;
    }
    const std::optional<FileKind> content = kindByContent(input.bytes);
    if (!content) {
        return kindByName(input.name.given);
    }
    const std::optional<FileKind> claimed = kindClaimedByName(input.name.given);
    if (claimed && claimed != content) {
        diagnostics.warn(0, "holds %s, not %s; read as %s", kindDescription(*content),
                         kindDescription(*claimed), kindDescription(*content));
    }
    return *content;
}

std::optional<Failure> readOverride(const std::string& assignment, Override& override) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
        return Failure{"--set takes KEYWORD=VALUE, not '" + assignment + "'"};
    }
    override.option = "--set " + assignment;
    override.setting = findSetting(assignment.substr(0, equals));
    if (override.setting == nullptr) {
        return Failure{override.option + ": " + notAKeyword(assignment.substr(0, equals))};
    }
    Reporter collected;
    Diagnostics diagnostics(collected, override.option);
    if (auto why = readSettingValue(*override.setting, assignment.substr(equals + 1),
                                    override.value, diagnostics)) {
        return Failure{override.option + ": " + why->what};
    }
    for (const Warning& warning : collected.collected()) {
        override.warnings.push_back(warning.message);
    }
    return std::nullopt;
}

std::optional<Failure> loadConfiguration(const Input& input, const std::vector<Override>& overrides,
                                         Reporter& reporter, Configuration& into) {
    Diagnostics diagnostics(reporter, input.name.shown());
    const std::optional<std::string> none = readInput(input, into, diagnostics);
    if (input.bytes.readError() != 0) {
        return Failure{"Can't read input file " + input.name.shown(), input.bytes.readError()};
    }
    if (none) {
        return Failure{input.name.shown() + " holds no configuration: " + *none};
    }
    for (const Override& override : overrides) {
        Diagnostics said(reporter, override.option);
        for (const std::string& warning : override.warnings) {
            said.warn(0, "%s", warning.c_str());
        }
        copySetting(*override.setting, override.value, into.record);
    }
    if (!isImage(into.kind) || !overrides.empty()) {
        warnAboutMotorSettings(into.record, diagnostics);
    }
    if (isImage(into.kind)) {
        packBlock(into.image, into.record);
    } else {
        buildBlock(into.image, into.record);
    }
    return std::nullopt;
}

void writeConfiguration(FileKind kind, std::FILE* output, const Configuration& configuration,
                        const std::string& sourceName) {
    const KindRow& row = kindRow(kind);
    if (row.binary) {
        platform::setBinaryMode(output);  // the bytes as they stand, on every system
    }
    if (row.write != nullptr) {
        row.write(output, configuration.image, static_cast<int>(block::kLength));
    } else {
        writeConfigReport(output, configuration.record, printableName(sourceName),
                          reportCreationTime());
    }
}

std::string printableName(const std::string& name) {
    std::string shown = name;
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = '?';
        }
    }
    return shown;
}

void InputCloser::operator()(std::FILE* input) const {
    if (input != standardInput) {
        (void)std::fclose(input);  // read only: closing loses nothing
    }
}

InputStream openInput(const FileName& name, std::FILE* standardInput, Reporter& reporter) {
    if (name.standard) {
        platform::setBinaryMode(standardInput);
        return InputStream(standardInput, InputCloser{standardInput});
    }
    // A name with a NUL byte cannot name a file; opening its first part instead would convert
    // the wrong file.
    const platform::Opened opened = name.given.find('\0') != std::string::npos
                                        ? platform::Opened{nullptr, EINVAL}
                                        : platform::openForReading(name.given);
    if (opened.stream == nullptr) {
        reporter.fail(Failure{"Can't open input file " + name.given, opened.error});
    }
    return InputStream(opened.stream, InputCloser{standardInput});
}

}  // namespace kr570
