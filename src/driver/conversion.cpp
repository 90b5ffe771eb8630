#include "driver/conversion.hpp"

#include <cerrno>
#include <cstring>

#include "config/motor_estimates.hpp"
#include "eeprom/config_block.hpp"
#include "eeprom/image_store.hpp"
#include "hex/hex_reader.hpp"
#include "hex/hex_writer.hpp"
#include "platform/platform.hpp"
#include "text/config_parser.hpp"
#include "text/config_report.hpp"

namespace kr570 {

namespace {

// The first line of every report, as the report writer begins it.
constexpr char kReportStart[] = "; KR570 Configuration File created by KR570Convert";

void readImage(FileKind kind, ByteSource& input, EepromImage& image, Diagnostics& diagnostics) {
    ImageStore store(image, diagnostics, &input);
    switch (kind) {
        case FileKind::IntelHex:
            readHex(input, store, diagnostics);
            break;
        case FileKind::Text:
            break;
    }
}

}  // namespace

std::FILE* openInput(const std::string& name, int& error) {
    // A name with a NUL byte cannot name a file; opening its first part instead would convert
    // the wrong file.
    if (name.find('\0') != std::string::npos) {
        error = EINVAL;
        return nullptr;
    }
    return platform::openForReading(name, error);
}

bool isSameFile(std::FILE* input, const std::string& outputName) {
    const auto existing = platform::regularFileIdentity(outputName);
    return existing && existing == platform::identityOf(input);
}

bool holdsOtherText(const platform::OutputTarget& target) {
    const bool regular = target.kind == platform::OutputKind::RegularFile ||
                         target.kind == platform::OutputKind::SharedFile;
    if (!regular || target.empty) {
        return false;
    }
    // A file that cannot be read cannot be told to be a report: it is kept.
    int error = 0;
    std::FILE* existing = platform::openForReading(target.path, error);
    if (existing == nullptr) {
        return true;
    }
    char start[sizeof kReportStart - 1];
    const std::size_t got = std::fread(start, 1, sizeof start, existing);
    (void)std::fclose(existing);  // read only: closing loses nothing
    return got != sizeof start || std::memcmp(start, kReportStart, sizeof start) != 0;
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

void readInput(FileKind kind, ByteSource& input, ConfigRecord& record, EepromImage& image,
               Diagnostics& diagnostics) {
    if (kind == FileKind::Text) {
        // Every text starts from the state of a fresh run: all zero, then the defaults.
        record = ConfigRecord{};
        setDefaults(record);
        parseConfigText(input, record, diagnostics);
        buildBlock(image, record);
        return;
    }
    readImage(kind, input, image, diagnostics);
    if (!hasBlockSignature(image)) {
        diagnostics.warn(0,
                         "no configuration block signature (85 c2 1e 4f 11) at address 0; the "
                         "first 72 bytes are read as a block all the same");
    }
    unpackBlock(image, record);
}

void checkSettings(FileKind inputKind, const ConfigRecord& record, Diagnostics& diagnostics) {
    if (inputKind == FileKind::Text) {
        warnAboutMotorSettings(record, diagnostics);
    }
}

FileKind defaultOutputKind(FileKind inputKind) {
    return inputKind == FileKind::Text ? FileKind::IntelHex : FileKind::Text;
}

void writeOutput(FileKind kind, std::FILE* output, const ConfigRecord& record,
                 const EepromImage& image, const std::string& sourceName) {
    switch (kind) {
        case FileKind::Text:
            writeConfigReport(output, record, printableName(sourceName), reportCreationTime());
            break;
        case FileKind::IntelHex:
            writeHex(output, image, static_cast<int>(block::kLength));
            break;
    }
}

}  // namespace kr570
