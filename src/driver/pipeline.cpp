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

// A count or an address within the image, for a message: the image is far smaller than an
// unsigned holds, and "%u" means the same to every C library.
unsigned asUnsigned(std::size_t value) {
    return static_cast<unsigned>(value);
}

// Why an image that gave the store no usable block holds no configuration, as far as the file
// tells.
std::optional<std::string> whyNoBlock(const ImageStore& store, const KindRow& kind) {
    const ImageStore::Extent given = store.given();
    if (given.count == 0) {
        return formatted("read as %s, it gives no data at all", kind.description);
    }
    if (store.blockBytesGiven() == 0) {
        return formatted(
            "its %u bytes of data lie at addresses 0x%04x to 0x%04x, none in the "
            "configuration block (addresses 0 to 71)",
            asUnsigned(given.count), asUnsigned(given.lowest), asUnsigned(given.highest));
    }
    if (store.blockErased()) {
        return store.blockBytesGiven() == block::kLength
                   ? std::string("the EEPROM is erased (every byte 0xff)")
                   : formatted(
                         "the EEPROM is erased (its %u bytes of the configuration block "
                         "are all 0xff)",
                         asUnsigned(store.blockBytesGiven()));
    }
    return std::nullopt;
}

// Reads an image file into the image; why it holds no configuration, or nothing.
std::optional<Failure> readImage(const Input& input, const KindRow& kind, Configuration& into,
                                 Diagnostics& diagnostics) {
    const bool empty = input.bytes.peek() == -1;
    EepromImage& image = into.image;
    // A raw image has no lines to name.
    ImageStore store(image, diagnostics, kind.binary ? nullptr : &input.bytes);
    kind.read(input.bytes, store, diagnostics);
    into.given = store.givenAddresses();
    const std::string name = input.name.shown();
    if (const auto why =
            empty ? std::optional<std::string>("it is empty") : whyNoBlock(store, kind)) {
        return Failure{name + " holds no configuration: " + *why};
    }
    const std::size_t given = store.blockBytesGiven();
    if (given < block::kLength && !input.partialBlockTaken) {
        // A cut read-back: zeros for the missing bytes would pass for settings.
        return Failure{
            formatted("%s holds only %u of the %u bytes of the configuration block; "
                      "--force converts it with the others read as 0",
                      name.c_str(), asUnsigned(given), asUnsigned(block::kLength))};
    }
    if (given < block::kLength) {
        diagnostics.warn(0,
                         "only %u of the %u bytes of the configuration block are in the file; "
                         "the others read as 0",
                         asUnsigned(given), asUnsigned(block::kLength));
    }
    if (!hasBlockSignature(image)) {
        diagnostics.warn(0,
                         "no configuration block signature (85 c2 1e 4f 11) at address 0; the "
                         "first 72 bytes are read as a block all the same");
    }
    return std::nullopt;
}

// Reads a configuration text into the record, from the controller's defaults; why it holds no
// configuration, or nothing.
std::optional<Failure> readText(const Input& input, ConfigRecord& record,
                                Diagnostics& diagnostics) {
    // Every text starts from the state of a fresh run: all zero, then the defaults.
    record = ConfigRecord{};
    setDefaults(record);
    const TextSummary summary = parseConfigText(input.bytes, record, diagnostics);
    // Words and not one setting among them: another kind of file, not a configuration that
    // leaves everything at its default.
    if (summary.words > 0 && summary.settings == 0) {
        return Failure{formatted(
            "%s holds no configuration: %s", input.name.shown().c_str(),
            summary.words == 1
                ? "its one word is not a setting"
                : formatted("none of its %ld words is a setting", summary.words).c_str())};
    }
    return std::nullopt;
}

// Reads the input into the configuration; why it holds none, or nothing.
std::optional<Failure> readInput(const Input& input, Configuration& into,
                                 Diagnostics& diagnostics) {
    into.kind = chooseKind(input, diagnostics);
    if (!isImage(into.kind)) {
        std::fill(into.given.begin(), into.given.end(), 0);
        return readText(input, into.record, diagnostics);
    }
    auto none = readImage(input, kindRow(into.kind), into, diagnostics);
    if (!none) {
        unpackBlock(into.image, into.record);
    }
    return none;
}

}  // namespace

FileKind chooseKind(const Input& input, Diagnostics& diagnostics) {
    // A raw image is bytes as they stand; anything else may be a text as an editor saved it.
    if (input.kind != FileKind::Binary) {
        input.bytes.readTextEncoding();
    }
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
    const std::string& option = override.option = "--set " + assignment;
    override.setting = findSetting(assignment.substr(0, equals));
    if (override.setting == nullptr) {
        return Failure{option + ": " + notAKeyword(assignment.substr(0, equals))};
    }
    Reporter unheard;
    Diagnostics diagnostics(unheard, option);
    if (auto why = readSettingValue(*override.setting, assignment.substr(equals + 1),
                                    override.value, diagnostics)) {
        return Failure{option + ": " + why->what};
    }
    return std::nullopt;
}

std::optional<Failure> readConfiguration(const Input& input, Reporter& reporter,
                                         Configuration& into) {
    // What the reading finds is told once it is known to have read the whole input: a failed
    // read is the one thing to say then.
    Reporter held;
    Diagnostics reading(held, input.name.shown());
    std::optional<Failure> none = readInput(input, into, reading);
    if (input.bytes.readError() != 0) {
        return Failure{"Can't read input file " + input.name.shown(), input.bytes.readError()};
    }
    reporter.tell(held);
    return none;
}

void applyOverrides(const std::vector<Override>& overrides, ConfigRecord& record) {
    for (const Override& override : overrides) {
        copySetting(*override.setting, override.value, record);
    }
}

void finishConfiguration(const std::vector<Override>& overrides, Diagnostics& diagnostics,
                         Configuration& configuration) {
    applyOverrides(overrides, configuration.record);
    if (!isImage(configuration.kind) || !overrides.empty()) {
        warnAboutMotorSettings(configuration.record, diagnostics);
    }
    if (isImage(configuration.kind)) {
        packBlock(configuration.image, configuration.record);
    } else {
        buildBlock(configuration.image, configuration.record);
    }
    // The block is written whole, whatever else of the image the input gave.
    std::fill(configuration.given.begin(), configuration.given.begin() + block::kLength, 1);
}

std::optional<Failure> loadConfiguration(const Input& input, const std::vector<Override>& overrides,
                                         Reporter& reporter, Configuration& into) {
    auto none = readConfiguration(input, reporter, into);
    if (!none) {
        Diagnostics diagnostics(reporter, input.name.shown());
        finishConfiguration(overrides, diagnostics, into);
    }
    return none;
}

void writeConfiguration(FileKind kind, std::FILE* output, const Configuration& configuration,
                        const std::string& sourceName) {
    const KindRow& row = kindRow(kind);
    if (row.binary) {
        platform::setBinaryMode(output);  // the bytes as they stand, on every system
    }
    if (row.write != nullptr) {
        row.write(output, configuration.image, configuration.given);
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
