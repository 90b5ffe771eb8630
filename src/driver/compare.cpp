#include "driver/compare.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "config/settings.hpp"
#include "driver/pipeline.hpp"
#include "io/diagnostics.hpp"
#include "io/text_output.hpp"

namespace kr570 {

namespace {

// A byte in hexadecimal with at least `digits` digits: 0x23 as the report writes an address,
// 0x02 for a byte that no value word stands for.
std::string hexByte(unsigned value, int digits = 2) {
    return formatted("0x%0*x", digits, value & 0xFFU);
}

// The fewest significant digits that read back as the same single-precision value, so that
// two values the block tells apart are never shown alike.
std::string floatText(float value) {
    std::string text;
    for (int digits = 1; digits <= 9; ++digits) {
        text = formatted("%.*g", digits, static_cast<double>(value));
        if (std::strtof(text.c_str(), nullptr) == value) {
            break;
        }
    }
    return text;
}

}  // namespace

std::string valueText(const Setting& setting, const ConfigRecord& record) {
    switch (setting.kind) {
        case ValueKind::Float:
            return floatText(setting.floatIn(record));
        case ValueKind::Byte:
            return std::to_string(setting.byteIn(record));
        case ValueKind::Time:
            return std::to_string(static_cast<std::uint16_t>(setting.timeIn(record)));
        case ValueKind::Address:
            return hexByte(setting.byteIn(record), 1);
        case ValueKind::Switch:
        case ValueKind::Code:
            break;
    }
    const char* word = setting.words.wordFor(setting.byteIn(record));
    return word != nullptr ? std::string(word) : hexByte(setting.byteIn(record));
}

namespace {

void writeLine(std::FILE* out, const char* name, const std::string& a, const std::string& b) {
    printText(out, "%s: %s (A) != %s (B)\n", name, a.c_str(), b.c_str());
}

// The notice as a quoted text that is printable ASCII throughout: any other byte as \xNN and
// a backslash as \\, so that a dump's bytes never reach the terminal raw.
std::string noticeText(const ConfigRecord& record) {
    std::string text = "'";
    for (std::size_t i = 0; i < kNoticeLength && record.notice[i] != 0; ++i) {
        const auto c = static_cast<unsigned char>(record.notice[i]);
        text += c == '\\'               ? std::string("\\\\")
                : c < 0x20 || c >= 0x7F ? formatted("\\x%02x", static_cast<unsigned>(c))
                                        : std::string(1, static_cast<char>(c));
    }
    return text + "'";
}

std::string productIdText(const ConfigRecord& r) {
    return std::to_string(r.productId);
}

std::string revisionText(const ConfigRecord& r) {
    return std::to_string(r.revisionMajor) + "." + std::to_string(r.revisionMinor);
}

std::string noticeBytes(const ConfigRecord& r) {
    return std::string(r.notice.begin(), r.notice.end());
}

std::string reservedText(const ConfigRecord& r) {
    return hexByte(r.fixedByte57);
}

// The header fields and the reserved byte, which only a device's block can hold otherwise
// than the tool builds them; returns how many differ.
int writeHeaderDifferences(std::FILE* out, const ConfigRecord& a, const ConfigRecord& b) {
    using Text = std::string (*)(const ConfigRecord&);
    struct Field {
        const char* name;
        Text stored;  // the field's bytes, or their text
        Text shown;
    };
    static constexpr Field kFields[] = {
        {"product id", productIdText, productIdText},
        {"software revision", revisionText, revisionText},
        {"notice", noticeBytes, noticeText},
        {"reserved byte 57", reservedText, reservedText},
    };
    int differing = 0;
    for (const Field& field : kFields) {
        if (field.stored(a) != field.stored(b)) {
            writeLine(out, field.name, field.shown(a), field.shown(b));
            ++differing;
        }
    }
    return differing;
}

// "1 setting differs", "2 settings differ".
std::string counted(int count, const char* thing) {
    return std::to_string(count) + " " + thing + (count == 1 ? " differs" : "s differ");
}

}  // namespace

int writeDifferences(std::FILE* out, const Configuration& a, const Configuration& b,
                     const CommandLine& commandLine) {
    int settings = 0;
    int compared = 0;
    for (const Setting& setting : kSettings) {
        const auto& ignored = commandLine.ignored;
        if (std::find(ignored.begin(), ignored.end(), setting.keyword) != ignored.end()) {
            continue;
        }
        ++compared;
        if (!sameStored(setting, a.record, b.record)) {
            writeLine(out, setting.keyword, valueText(setting, a.record),
                      valueText(setting, b.record));
            ++settings;
        }
    }
    // A text carries no header: only two images have theirs compared.
    const int header =
        isImage(a.kind) && isImage(b.kind) ? writeHeaderDifferences(out, a.record, b.record) : 0;
    const char* nameA = commandLine.compared[0].given.c_str();
    const char* nameB = commandLine.compared[1].given.c_str();
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

namespace {

// Loads one side through the conversions' own pipeline; false, once the failure is told, when
// the file cannot be read or holds no configuration.
bool loadSide(const FileName& name, const CommandLine& commandLine, Console& console,
              Reporter& reporter, Configuration& side) {
    const InputStream input = openInput(name, console.in, reporter);
    if (!input) {
        return false;
    }
    ByteSource source(input.get());
    const auto failure =
        loadConfiguration(Input{source, name, commandLine.from}, {}, reporter, side);
    if (failure) {
        reporter.fail(*failure);
    }
    return !failure;
}

}  // namespace

int compareFiles(const CommandLine& commandLine, Console& console) {
    Reporter reporter = console.reporter(ReportMode{commandLine.quiet, commandLine.strict, false});
    const auto a = std::make_unique<Configuration>();
    const auto b = std::make_unique<Configuration>();
    if (!loadSide(commandLine.compared[0], commandLine, console, reporter, *a) ||
        !loadSide(commandLine.compared[1], commandLine, console, reporter, *b)) {
        return kCompareTrouble;
    }
    // A file read with a warning may not be what it seems: no verdict on it.
    if (commandLine.strict && reporter.warnings() > 0) {
        reporter.fail(Failure{formatted(
            "%d warning(s) about A (%s) or B (%s); not compared (--strict)", reporter.warnings(),
            commandLine.compared[0].given.c_str(), commandLine.compared[1].given.c_str())});
        return kCompareTrouble;
    }
    return writeDifferences(console.out, *a, *b, commandLine) == 0 ? kCompareEqual
                                                                   : kCompareDifferent;
}

}  // namespace kr570
