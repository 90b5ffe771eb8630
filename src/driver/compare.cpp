#include "driver/compare.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

// A byte in hexadecimal with at least `digits` digits: 0x23 as the report writes an address,
// 0x02 for a byte that no value word stands for.
std::string hexByte(unsigned value, int digits = 2) {
    char text[8];
    (void)std::snprintf(text, sizeof text, "0x%0*x", digits, value & 0xFFU);
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
            return std::to_string(byte);
        case ValueKind::Time:
            return std::to_string(wordFrom(bytes.data() + setting.offset));
        case ValueKind::Address:
            return hexByte(byte, 1);
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

// The notice as a quoted text that is printable ASCII throughout: any other byte as \xNN and
// a backslash as \\, so that a dump's bytes never reach the terminal raw.
std::string noticeText(const ConfigBlockBytes& bytes) {
    std::string text = "'";
    for (std::size_t i = 0; i < kNoticeLength && bytes[block::kNotice + i] != 0; ++i) {
        const unsigned c = bytes[block::kNotice + i];
        char shown[8];
        (void)std::snprintf(shown, sizeof shown, c == '\\' ? "\\\\" : "%c", c);
        if (c < 0x20 || c >= 0x7F) {
            (void)std::snprintf(shown, sizeof shown, "\\x%02x", c);
        }
        text += shown;
    }
    return text + "'";
}

std::string revisionText(const ConfigBlockBytes& bytes) {
    return std::to_string(bytes[block::kRevisionMajor]) + "." +
           std::to_string(bytes[block::kRevisionMinor]);
}

// The header fields and the reserved byte, which only a device's block can hold otherwise
// than the tool builds them; returns how many differ.
int writeHeaderDifferences(std::FILE* out, const ConfigBlockBytes& a, const ConfigBlockBytes& b) {
    struct Field {
        const char* name;
        std::size_t offset;
        std::size_t width;
        std::string (*text)(const ConfigBlockBytes&);
    };
    static constexpr Field kFields[] = {
        {"product id", block::kProductId, 1,
         [](const ConfigBlockBytes& bytes) { return std::to_string(bytes[block::kProductId]); }},
        {"software revision", block::kRevisionMajor, 2, revisionText},
        {"notice", block::kNotice, kNoticeLength, noticeText},
        {"reserved byte 57", block::kFixedByte57, 1,
         [](const ConfigBlockBytes& bytes) { return hexByte(bytes[block::kFixedByte57]); }},
    };
    int differing = 0;
    for (const Field& field : kFields) {
        if (!sameBytes(a, b, field.offset, field.width)) {
            writeLine(out, field.name, field.text(a), field.text(b));
            ++differing;
        }
    }
    return differing;
}

// "1 setting differs", "2 settings differ".
std::string counted(int count, const char* thing) {
    return std::to_string(count) + " " + thing + (count == 1 ? " differs" : "s differ");
}

int writeDifferences(std::FILE* out, const ComparedBlock& a, const ComparedBlock& b,
                     const CommandLine& commandLine) {
    int settings = 0;
    int compared = 0;
    for (const Setting& setting : kSettings) {
        const auto& ignored = commandLine.ignored;
        if (std::find(ignored.begin(), ignored.end(), setting.keyword) != ignored.end()) {
            continue;
        }
        ++compared;
        if (!sameBytes(a.bytes, b.bytes, setting.offset, blockWidth(setting.kind))) {
            writeLine(out, setting.keyword, valueText(setting, a.bytes),
                      valueText(setting, b.bytes));
            ++settings;
        }
    }
    // A text carries no header: only two images have theirs compared.
    const int header =
        a.fromImage && b.fromImage ? writeHeaderDifferences(out, a.bytes, b.bytes) : 0;
    const char* nameA = commandLine.inputName.c_str();
    const char* nameB = commandLine.outputName.c_str();
    if (settings == 0) {
        printText(out, "The %d setting%s equal in A (%s) and B (%s)", compared,
                  compared == 1 ? " is" : "s are", nameA, nameB);
    } else {
        printText(out, "%d of the %d settings %s between A (%s) and B (%s)", settings, compared,
                  settings == 1 ? "differs" : "differ", nameA, nameB);
    }
    if (header > 0) {
        printText(out, "; %s", counted(header, "header field").c_str());
    }
    putText("\n", out);
    return settings + header;
}

// Makes the block the tool would write for the file ('-' is standard input), through the
// conversions' own pipeline, and copies it out of the image; false, once the failure is told,
// when the file cannot be read or holds no configuration. Adds its warnings to `warnings`.
bool loadBlock(const std::string& name, const CommandLine& commandLine, Console& console,
               ConfigRecord& record, EepromImage& image, ComparedBlock& side, int& warnings) {
    FailureReport report(console, false);
    const bool standard = name == "-";
    int error = 0;
    const InputStream input = openInput(name, standard, console.in, error);
    if (!input) {
        report.fail(error, "Can't open input file %s", name.c_str());
        return false;
    }
    const std::string shown = shownName(name, standard);
    Diagnostics diagnostics(commandLine.quiet ? nullptr : console.err, shown);
    ByteSource source(input.get());
    const FileKind kind = chooseKind(source, name, commandLine.from, diagnostics);
    if (!readWholeInput(kind, source, shown, record, image, diagnostics, report)) {
        return false;
    }
    checkSettings(kind, false, record, diagnostics);
    packBlock(image, record);
    std::copy(image.data(), image.data() + block::kLength, side.bytes.begin());
    side.fromImage = isImage(kind);
    warnings += diagnostics.count();
    return true;
}

}  // namespace

int compareFiles(const CommandLine& commandLine, Console& console, ConfigRecord& record,
                 EepromImage& image) {
    ComparedBlock a;
    ComparedBlock b;
    int warnings = 0;
    if (!loadBlock(commandLine.inputName, commandLine, console, record, image, a, warnings) ||
        !loadBlock(commandLine.outputName, commandLine, console, record, image, b, warnings)) {
        return kCompareTrouble;
    }
    // A file read with a warning may not be what it seems: no verdict on it.
    if (commandLine.strict && warnings > 0) {
        FailureReport(console, false)
            .fail(0, "%d warning(s) about A (%s) or B (%s); not compared (--strict)", warnings,
                  commandLine.inputName.c_str(), commandLine.outputName.c_str());
        return kCompareTrouble;
    }
    return writeDifferences(console.out, a, b, commandLine) == 0 ? kCompareEqual
                                                                 : kCompareDifferent;
}

}  // namespace kr570
