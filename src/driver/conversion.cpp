#include "driver/conversion.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "config/motor_estimates.hpp"
#include "config/settings.hpp"
#include "eeprom/config_block.hpp"
#include "eeprom/image_store.hpp"
#include "hex/hex_reader.hpp"
#include "hex/hex_writer.hpp"
#include "hex/srec_reader.hpp"
#include "hex/srec_writer.hpp"
#include "platform/platform.hpp"
#include "raw/binary.hpp"
#include "raw/byte_list_reader.hpp"
#include "text/config_parser.hpp"
#include "text/config_report.hpp"

namespace kr570 {

namespace {

// The first line of every report, as the report writer begins it.
constexpr char kReportStart[] = "; KR570 Configuration File created by KR570Convert";

// Reads an image file into the image; why it holds no configuration, or nullptr.
const char* readImage(FileKind kind, ByteSource& input, EepromImage& image,
                      Diagnostics& diagnostics) {
    ImageStore store(image, diagnostics, kind == FileKind::Binary ? nullptr : &input);
    readImageFile(kind, input, store, diagnostics);
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
    return nullptr;
}

}  // namespace

void InputCloser::operator()(std::FILE* input) const {
    if (input != standardInput) {
        (void)std::fclose(input);  // read only: closing loses nothing
    }
}

InputStream openInput(const std::string& name, bool standard, std::FILE* standardInput,
                      int& error) {
    if (standard) {
        platform::setBinaryMode(standardInput);
        return InputStream(standardInput, InputCloser{standardInput});
    }
    // A name with a NUL byte cannot name a file; opening its first part instead would convert
    // the wrong file.
    if (name.find('\0') != std::string::npos) {
        error = EINVAL;
        return InputStream(nullptr, InputCloser{standardInput});
    }
    return InputStream(platform::openForReading(name, error), InputCloser{standardInput});
}

std::string shownName(const std::string& name, bool standard) {
    return standard ? "(standard input)" : name;
}

bool readWholeInput(FileKind kind, ByteSource& input, const std::string& shown,
                    ConfigRecord& record, EepromImage& image, Diagnostics& diagnostics,
                    FailureReport& report) {
    const char* const noConfiguration = readInput(kind, input, record, image, diagnostics);
    if (input.readError() != 0) {
        report.fail(input.readError(), "Can't read input file %s", shown.c_str());
        return false;
    }
    if (noConfiguration != nullptr) {
        report.fail(0, "%s holds no configuration: %s", shown.c_str(), noConfiguration);
        return false;
    }
    return true;
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

void readImageFile(FileKind kind, ByteSource& input, ImageStore& store, Diagnostics& diagnostics) {
    switch (kind) {
        case FileKind::IntelHex:
            readHex(input, store, diagnostics);
            break;
        case FileKind::SRecord:
            readSRecords(input, store, diagnostics);
            break;
        case FileKind::Binary:
            readBinary(input, store);
            break;
        case FileKind::ByteList:
            readByteList(input, store, diagnostics);
            break;
        case FileKind::Text:
            break;
    }
}

FileKind chooseKind(ByteSource& input, const std::string& name, std::optional<FileKind> from,
                    Diagnostics& diagnostics) {
    if (from) {
        return *from;
    }
    const std::optional<FileKind> content = kindByContent(input);
    if (!content) {
        return kindByName(name);
    }
    const std::optional<FileKind> claimed = kindClaimedByName(name);
    if (claimed && claimed != content) {
        diagnostics.warn(0, "holds %s, not %s; read as %s", kindDescription(*content),
                         kindDescription(*claimed), kindDescription(*content));
    }
    return *content;
}

const char* readInput(FileKind kind, ByteSource& input, ConfigRecord& record, EepromImage& image,
                      Diagnostics& diagnostics) {
    if (kind == FileKind::Text) {
        // Every text starts from the state of a fresh run: all zero, then the defaults.
        record = ConfigRecord{};
        setDefaults(record);
        parseConfigText(input, record, diagnostics);
        buildBlock(image, record);
        return nullptr;
    }
    const char* const noConfiguration = readImage(kind, input, image, diagnostics);
    if (noConfiguration != nullptr) {
        return noConfiguration;
    }
    if (!hasBlockSignature(image)) {
        diagnostics.warn(0,
                         "no configuration block signature (85 c2 1e 4f 11) at address 0; the "
                         "first 72 bytes are read as a block all the same");
    }
    unpackBlock(image, record);
    return nullptr;
}

int applySettings(const std::vector<std::pair<std::string, std::string>>& sets,
                  ConfigRecord& record, std::FILE* warnings) {
    int count = 0;
    for (const auto& [keyword, value] : sets) {
        std::string option = "--set ";
        option += keyword;
        option += '=';
        option += value;
        Diagnostics diagnostics(warnings, option);
        const Setting* setting = findSetting(keyword);
        if (setting != nullptr) {
            (void)setValue(*setting, value, record, diagnostics);  // read whole: checked before
        }
        count += diagnostics.count();
    }
    return count;
}

void checkSettings(FileKind inputKind, bool changed, const ConfigRecord& record,
                   Diagnostics& diagnostics) {
    if (inputKind == FileKind::Text || changed) {
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
        case FileKind::SRecord:
            writeSRecords(output, image, static_cast<int>(block::kLength));
            break;
        case FileKind::Binary:
            writeBinary(output, image, static_cast<int>(block::kLength));
            break;
        case FileKind::ByteList:
            break;  // not written: avrdude writes its lists, the tool reads them
    }
}

}  // namespace kr570
