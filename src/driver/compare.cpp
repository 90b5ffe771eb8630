#include "driver/compare.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "config/settings.hpp"
#include "driver/conversion.hpp"
#include "eeprom/config_block.hpp"
#include "io/diagnostics.hpp"
#include "io/text_output.hpp"

namespace kr570 {

namespace {

using ConfigBlockBytes = std::array<std::uint8_t, block::kLength>;

// One side of a comparison, once loaded.
struct ComparedBlock {
    ConfigBlockBytes bytes{};
    bool fromImage = false;
};

std::string decimal(unsigned value) {
    return std::to_string(value);
}

std::string hexByte(unsigned value) {
    char text[8];
    (void)std::snprintf(text, sizeof text, "0x%02x", value & 0xFFU);
    return text;
}

// As the report writes an address.
std::string hexAddress(unsigned value) {
    char text[8];
    (void)std::snprintf(text, sizeof text, "0x%x", value & 0xFFU);
    return text;
}

// The fewest significant digits that read back as the same single-precision value, so that
// two values the block tells apart are never shown alike.
std::string floatText(const ConfigBlockBytes& bytes, std::size_t offset) {
    const float value = floatFrom(bytes.data() + offset);
    char text[32];
    for (int digits = 1; digits <= 9; ++digits) {
        (void)std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (std::strtof(text, nullptr) == value) {
            break;
        }
    }
    return text;
}

// A switch or code byte as its value word; a byte that no word stores (possible in a device
// dump) is shown as a number.
std::string wordText(const Setting& setting, std::uint8_t stored) {
    const char* word = setting.words.wordFor(stored);
    return word != nullptr ? std::string(word) : hexByte(stored);
}

// A setting's stored value as the configuration text writes it.
std::string valueText(const Setting& setting, const ConfigBlockBytes& bytes) {
    const std::uint8_t byte = bytes[setting.offset];
    switch (setting.kind) {
        case ValueKind::Float:
            return floatText(bytes, setting.offset);
        case ValueKind::Byte:
            return decimal(byte);
        case ValueKind::Time:
            return decimal(wordFrom(bytes.data() + setting.offset));
        case ValueKind::Address:
            return hexAddress(byte);
        case ValueKind::Switch:
        case ValueKind::Code:
            break;
    }
    return wordText(setting, byte);
}

bool sameBytes(const ConfigBlockBytes& a, const ConfigBlockBytes& b, std::size_t offset,
               std::size_t width) {
    return std::equal(a.begin() + static_cast<std::ptrdiff_t>(offset),
                      a.begin() + static_cast<std::ptrdiff_t>(offset + width),
                      b.begin() + static_cast<std::ptrdiff_t>(offset));
}

void writeLine(std::FILE* out, const char* name, const std::string& a, const std::string& b) {
    printText(out, "%s: %s (A) != %s (B)\n", name, a.c_str(), b.c_str());
}

std::string noticeText(const ConfigBlockBytes& bytes) {
    const char* notice = reinterpret_cast<const char*>(bytes.data() + block::kNotice);
    return quoted(std::string(notice, strnlen(notice, kNoticeLength)));
}

// The header fields and the reserved byte, which only a device's block can set otherwise
// than the tool builds them; returns how many differ.
int writeHeaderDifferences(std::FILE* out, const ConfigBlockBytes& a, const ConfigBlockBytes& b) {
    struct ByteField {
        const char* name;
        std::size_t offset;
        std::string (*text)(unsigned);
    };
    static constexpr ByteField kFields[] = {{"productId", block::kProductId, decimal},
                                            {"revisionMajor", block::kRevisionMajor, decimal},
                                            {"revisionMinor", block::kRevisionMinor, decimal},
                                            {"fixedByte57", block::kFixedByte57, hexByte}};
    int differing = 0;
    for (const ByteField& field : kFields) {
        if (a[field.offset] != b[field.offset]) {
            writeLine(out, field.name, field.text(a[field.offset]), field.text(b[field.offset]));
            ++differing;
        }
    }
    if (!sameBytes(a, b, block::kNotice, kNoticeLength)) {
        writeLine(out, "notice", noticeText(a), noticeText(b));
        ++differing;
    }
    return differing;
}

int writeDifferences(std::FILE* out, const ComparedBlock& a, const ComparedBlock& b,
                     const std::string& nameA, const std::string& nameB) {
    int settings = 0;
    for (const Setting& setting : kSettings) {
        if (!sameBytes(a.bytes, b.bytes, setting.offset, blockWidth(setting.kind))) {
            writeLine(out, setting.keyword, valueText(setting, a.bytes),
                      valueText(setting, b.bytes));
            ++settings;
        }
    }
    const int header =
        a.fromImage && b.fromImage ? writeHeaderDifferences(out, a.bytes, b.bytes) : 0;
    const auto total = static_cast<int>(std::size(kSettings));
    if (settings == 0) {
        printText(out, "The %d settings are equal in A (%s) and B (%s)", total, nameA.c_str(),
                  nameB.c_str());
    } else {
        printText(out, "%d of the %d settings differ between A (%s) and B (%s)", settings, total,
                  nameA.c_str(), nameB.c_str());
    }
    if (header > 0) {
        printText(out, "; %d header field%s differ%s", header, header == 1 ? "" : "s",
                  header == 1 ? "s" : "");
    }
    putText("\n", out);
    return settings;
}

// Makes the block the tool would write for the file, through the conversions' own pipeline,
// and copies it out of the image; false, once the failure is told, when the file cannot be
// read.
bool loadBlock(const std::string& name, const CommandLine& commandLine, Console& console,
               ConfigRecord& record, EepromImage& image, ComparedBlock& side) {
    FailureReport report(console, false);
    int error = 0;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> input(openInput(name, error),
                                                                std::fclose);
    if (!input) {
        report.fail(error, "Can't open input file %s", name.c_str());
        return false;
    }
    Diagnostics diagnostics(commandLine.quiet ? nullptr : console.err, name);
    ByteSource source(input.get());
    const FileKind kind = chooseKind(source, name, commandLine.from, diagnostics);
    const char* const noConfiguration = readInput(kind, source, record, image, diagnostics);
    if (source.readError() != 0) {
        report.fail(source.readError(), "Can't read input file %s", name.c_str());
        return false;
    }
    if (noConfiguration != nullptr) {
        report.fail(0, "%s holds no configuration: %s", name.c_str(), noConfiguration);
        return false;
    }
    checkSettings(kind, record, diagnostics);
    packBlock(image, record);
    std::copy(image.data(), image.data() + block::kLength, side.bytes.begin());
    side.fromImage = isImage(kind);
    return true;
}

}  // namespace

int compareFiles(const CommandLine& commandLine, Console& console, ConfigRecord& record,
                 EepromImage& image) {
    ComparedBlock a;
    ComparedBlock b;
    const std::string& nameA = commandLine.inputName;
    const std::string& nameB = commandLine.outputName;
    if (!loadBlock(nameA, commandLine, console, record, image, a) ||
        !loadBlock(nameB, commandLine, console, record, image, b)) {
        return kCompareTrouble;
    }
    return writeDifferences(console.out, a, b, nameA, nameB) == 0 ? kCompareEqual
                                                                  : kCompareDifferent;
}

}  // namespace kr570
