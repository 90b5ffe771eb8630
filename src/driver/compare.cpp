#include "driver/compare.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "config/settings.hpp"
#include "driver/conversion.hpp"
#include "eeprom/eeprom_image.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

namespace {

std::string decimal(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", value);
    return text;
}

// As the report writes an address.
std::string hexadecimal(unsigned value) {
    return hexText(value);
}

std::string hexByte(unsigned value) {
    return hexText(value, 2);
}

// The fewest significant digits that read back as the same single-precision value, so that
// two values the block tells apart are never shown alike.
std::string floatText(const ConfigBlockBytes& bytes, std::size_t offset) {
    const float value = floatFrom(bytes.data() + offset);
    char text[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
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
            return hexadecimal(byte);
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
    std::fprintf(out, "%s: %s (A) != %s (B)\n", name, a.c_str(), b.c_str());
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

// Makes the block the tool would write for the file, and copies it out of the image; false
// when the file cannot be read.
bool loadBlock(const std::string& name, bool hex, ConfigRecord& record, EepromImage& image,
               std::FILE* warnings, ConfigBlockBytes& bytes) {
    int error = 0;
    std::FILE* input = openInput(name, error);
    if (input == nullptr) {
        return false;
    }
    Diagnostics diagnostics(warnings, name);
    if (!hex) {
        // Each text starts from the state of a fresh run: all zero, then the defaults.
        record = ConfigRecord{};
        setDefaults(record);
    }
    const Direction direction = hex ? Direction::HexToText : Direction::TextToHex;
    readInput(direction, Conversion{record, image, input, name, nullptr, diagnostics});
    if (!hex) {
        packBlock(image, record);  // as the HEX writer's half does before writing
    }
    std::fclose(input);
    std::copy(image.data(), image.data() + block::kLength, bytes.begin());
    return true;
}

}  // namespace

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
    const int header = a.fromHex && b.fromHex ? writeHeaderDifferences(out, a.bytes, b.bytes) : 0;
    const auto total = static_cast<int>(std::size(kSettings));
    if (settings == 0) {
        std::fprintf(out, "The %d settings are equal in A (%s) and B (%s)", total, nameA.c_str(),
                     nameB.c_str());
    } else {
        std::fprintf(out, "%d of the %d settings differ between A (%s) and B (%s)", settings, total,
                     nameA.c_str(), nameB.c_str());
    }
    if (header > 0) {
        std::fprintf(out, "; %d header field%s differ%s", header, header == 1 ? "" : "s",
                     header == 1 ? "s" : "");
    }
    std::fputs("\n", out);
    return settings;
}

int compareFiles(const CompareRun& run, ConfigRecord& record, EepromImage& image) {
    const auto load = [&](const std::string& name, ComparedBlock& side) {
        side.fromHex = chooseDirection(name, run.kind) == Direction::HexToText;
        if (!loadBlock(name, side.fromHex, record, image, run.warnings, side.bytes)) {
            std::fprintf(run.err, "Can't open input file %s\n", name.c_str());
            return false;
        }
        return true;
    };
    ComparedBlock a;
    ComparedBlock b;
    if (!load(run.nameA, a) || !load(run.nameB, b)) {
        return kCompareTrouble;
    }
    return writeDifferences(run.out, a, b, run.nameA, run.nameB) == 0 ? kCompareEqual
                                                                      : kCompareDifferent;
}

}  // namespace kr570
