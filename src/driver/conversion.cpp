#include "driver/conversion.hpp"

#include <cerrno>
#include <cstring>

#include "config/motor_estimates.hpp"
#include "eeprom/config_block.hpp"
#include "hex/hex_reader.hpp"
#include "hex/hex_writer.hpp"
#include "platform/output.hpp"
#include "platform/platform.hpp"
#include "text/config_parser.hpp"
#include "text/config_report.hpp"

namespace kr570 {

namespace {

// A name with a NUL byte in it cannot name a file; opening its first part instead would
// convert the wrong file.
bool isUsableName(const std::string& name) {
    return name.find('\0') == std::string::npos;
}

// The first line of every report, as the report writer begins it.
constexpr char kReportStart[] = "; KR570 Configuration File created by KR570Convert";

}  // namespace

Direction chooseDirection(const std::string& inputName) {
    const char last = inputName.empty() ? '\0' : inputName.back();
    return (last == 't' || last == 'T') ? Direction::TextToHex : Direction::HexToText;
}

Direction chooseDirection(const std::string& inputName, CommandLine::InputKind from) {
    switch (from) {
        case CommandLine::InputKind::Text:
            return Direction::TextToHex;
        case CommandLine::InputKind::Hex:
            return Direction::HexToText;
        case CommandLine::InputKind::ByName:
            break;
    }
    return chooseDirection(inputName);
}

std::FILE* openInput(const std::string& name, int& error) {
    if (!isUsableName(name)) {
        error = EINVAL;
        return nullptr;
    }
    return platform::openForReading(name, error);
}

bool isSameFile(std::FILE* input, const std::string& outputName) {
    const auto existing = platform::regularFileIdentity(outputName);
    return existing && existing == platform::identityOf(input);
}

bool holdsOtherText(const std::string& outputName) {
    const platform::OutputTarget target = platform::inspectOutput(outputName);
    const bool regular = target.kind == platform::OutputKind::RegularFile ||
                         target.kind == platform::OutputKind::SharedFile;
    if (!regular || target.empty) {
        return false;
    }
    // A file that cannot be read cannot be told to be a report: it is kept.
    int error = 0;
    std::FILE* existing = platform::openForReading(outputName, error);
    if (existing == nullptr) {
        return true;
    }
    char start[sizeof kReportStart - 1];
    const std::size_t got = std::fread(start, 1, sizeof start, existing);
    std::fclose(existing);
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

void readInput(Direction direction, const Conversion& c) {
    if (direction == Direction::HexToText) {
        readHex(c.input, c.image, c.diagnostics);
        if (!hasBlockSignature(c.image)) {
            c.diagnostics.warn(0,
                               "no configuration block signature (85 c2 1e 4f 11) at address "
                               "0; the first 72 bytes are read as a block all the same");
        }
        unpackBlock(c.image, c.record);
    } else {
        buildBlock(c.image, c.record);
        parseConfigText(c.input, c.record, c.console, c.diagnostics);
        warnAboutMotorSettings(c.record, c.diagnostics);
    }
}

void writeOutput(Direction direction, const Conversion& c, std::FILE* output) {
    if (direction == Direction::HexToText) {
        writeConfigReport(output, c.record, printableName(c.inputName), reportCreationTime());
    } else {
        const int length = packBlock(c.image, c.record);
        writeHex(output, c.image, length);
    }
}

}  // namespace kr570
