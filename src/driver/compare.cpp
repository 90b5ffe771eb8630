#include "driver/compare.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/settings.hpp"
#include "driver/pipeline.hpp"
#include "driver/units.hpp"
#include "eeprom/config_block.hpp"
#include "io/diagnostics.hpp"
#include "io/text_output.hpp"

namespace kr570 {

namespace {

// A byte in hexadecimal with at least `digits` digits: 0x23 as the report writes an address,
// 0x02 for a byte that no value word stands for.
std::string hexByte(unsigned value, int digits = 2) {
    return formatted("0x%0*x", digits, value & 0xFFU);
}

// The fewest significant digits that read back as the same single-precision value.
std::string shortestText(float value) {
    std::string text;
    for (int digits = 1; digits <= 9; ++digits) {
        text = formatted("%.*g", digits, static_cast<double>(value));
        if (std::strtof(text.c_str(), nullptr) == value) {
            break;
        }
    }
    return text;
}

// Two floats as the report writes them, with two decimals, or with as many more as it takes to
// tell them apart; a NaN as "nan", with its bit pattern when the two patterns differ.
std::pair<std::string, std::string> floatTexts(float a, float b) {
    const auto text = [](float value, float other, int decimals) {
        std::uint32_t bits = 0;
        std::uint32_t otherBits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        std::memcpy(&otherBits, &other, sizeof otherBits);
        return std::isnan(value) && std::isnan(other) && bits != otherBits
                   ? formatted("nan (0x%08x)", bits)
                   : decimal(static_cast<double>(value), decimals);
    };
    int decimals = 2;
    while (decimals < 45 && text(a, b, decimals) == text(b, a, decimals)) {
        ++decimals;
    }
    return {text(a, b, decimals), text(b, a, decimals)};
}

Difference differing(const char* name, const std::string& a, const std::string& b) {
    return {name, formatted("%s: %s (A) != %s (B)", name, a.c_str(), b.c_str())};
}

Difference settingDifference(const Setting& setting, const ConfigRecord& a, const ConfigRecord& b) {
    if (setting.kind == ValueKind::Float) {
        const auto [textA, textB] = floatTexts(setting.floatIn(a), setting.floatIn(b));
        return differing(setting.keyword, textA, textB);
    }
    return differing(setting.keyword, valueText(setting, a), valueText(setting, b));
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

std::string reservedText(const ConfigRecord& r) {
    return hexByte(r.fixedByte57);
}

// The notice is its text up to the NUL; bytes after the NUL are only a dump's leftovers, told
// apart as such.
std::optional<Difference> noticeDifference(const ConfigRecord& a, const ConfigRecord& b) {
    if (a.notice == b.notice) {
        return std::nullopt;
    }
    const std::string textA = noticeText(a);
    if (textA != noticeText(b)) {
        return differing("notice", textA, noticeText(b));
    }
    return Difference{"notice",
                      "notice: " + textA + " in both, but the bytes after its NUL differ"};
}

// The header fields and the reserved byte, which only a device's block can hold otherwise
// than the tool builds them.
std::vector<Difference> headerDifferences(const ConfigRecord& a, const ConfigRecord& b) {
    using Text = std::string (*)(const ConfigRecord&);
    // The notice (nullptr) is compared up to its NUL, and told apart for what follows it.
    static constexpr std::pair<const char*, Text> kFields[] = {
        {"product id", productIdText},
        {"software revision", revisionText},
        {"notice", nullptr},
        {"reserved byte 57", reservedText},
    };
    std::vector<Difference> differences;
    for (const auto& [name, text] : kFields) {
        if (text == nullptr) {
            if (auto notice = noticeDifference(a, b)) {
                differences.push_back(std::move(*notice));
            }
        } else if (text(a) != text(b)) {
            differences.push_back(differing(name, text(a), text(b)));
        }
    }
    return differences;
}

// The bytes of two images after the block: how many differ (one image gives a byte the other
// does not, or both give it other values), and the first of them.
void compareBeyondBlock(const Configuration& a, const Configuration& b, Comparison& comparison) {
    for (std::size_t address = block::kLength; address < EepromImage::kSize; ++address) {
        const bool given = a.given[address] != 0;
        if (given != (b.given[address] != 0) ||
            (given && a.image.getByte(address) != b.image.getByte(address))) {
            comparison.firstBytesBeyond =
                comparison.bytesBeyond++ == 0 ? address : comparison.firstBytesBeyond;
        }
    }
}

// "1 setting differs", "2 settings differ".
std::string counted(std::size_t count, const char* thing) {
    return std::to_string(count) + " " + thing + (count == 1 ? " differs" : "s differ");
}

// "ontime, stepmode".
std::string names(const std::vector<Difference>& differences) {
    std::string list;
    for (const Difference& difference : differences) {
        list += (list.empty() ? "" : ", ") + difference.name;
    }
    return list;
}

// The verdict, in one line a log can keep.
}  // namespace

std::string verdictOf(const Comparison& c, const std::string& nameA, const std::string& nameB) {
    std::string line =
        c.settings.empty()
            ? formatted("The %d setting%s equal in A (%s) and B (%s)", c.compared,
                        c.compared == 1 ? " is" : "s are", nameA.c_str(), nameB.c_str())
            : formatted("%u of the %d settings %s between A (%s) and B (%s): %s",
                        static_cast<unsigned>(c.settings.size()), c.compared,
                        c.settings.size() == 1 ? "differs" : "differ", nameA.c_str(), nameB.c_str(),
                        names(c.settings).c_str());
    if (!c.header.empty()) {
        line += "; " + counted(c.header.size(), "header field") + ": " + names(c.header);
    }
    if (c.bytesBeyond > 0) {
        line += formatted("; %s after the block, the first at 0x%04x",
                          counted(c.bytesBeyond, "byte").c_str(),
                          static_cast<unsigned>(c.firstBytesBeyond));
    }
    return line;
}

namespace {

// Opens and loads one side; its kind by --from when `from` says one. The expected side A takes
// the overrides, which patch a configuration text, never a read-back; with a units table, no
// two of its units may share an address in it.
bool loadFile(const FileName& name, std::optional<FileKind> from, const CommandLine& commandLine,
              const Units* expected, Console& console, Reporter& reporter, Configuration& side) {
    const InputStream stream = openInput(name, console.in, reporter);
    if (!stream) {
        return false;
    }
    ByteSource source(stream.get());
    const Input input{source, name, from, commandLine.force};
    auto failure = readConfiguration(input, reporter, side);
    if (!failure && expected != nullptr && !commandLine.sets.empty() && isImage(side.kind)) {
        failure = Failure{"--set and --unit apply to A, which must be a configuration text; " +
                          name.given + " holds " + kindDescription(side.kind)};
    }
    if (!failure && expected != nullptr && commandLine.unit) {
        const auto problems = sharedAddresses(*expected, side.record);
        failure = problems.empty() ? std::nullopt : std::optional<Failure>(Failure{problems[0]});
    }
    if (failure) {
        reporter.fail(*failure);
        return false;
    }
    Diagnostics diagnostics(reporter, name.shown());
    finishConfiguration(expected != nullptr ? commandLine.sets : std::vector<Override>{},
                        diagnostics, side);
    return true;
}

}  // namespace

std::string valueText(const Setting& setting, const ConfigRecord& record) {
    switch (setting.kind) {
        case ValueKind::Float:
            return shortestText(setting.floatIn(record));
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

Comparison compareConfigurations(const Configuration& a, const Configuration& b,
                                 const std::vector<std::string>& ignored) {
    Comparison comparison;
    for (const Setting& setting : kSettings) {
        if (std::find(ignored.begin(), ignored.end(), setting.keyword) != ignored.end()) {
            continue;
        }
        ++comparison.compared;
        if (!sameStored(setting, a.record, b.record)) {
            comparison.settings.push_back(settingDifference(setting, a.record, b.record));
        }
    }
    // A text carries no header and nothing beyond its block: only two images have theirs
    // compared.
    if (isImage(a.kind) && isImage(b.kind)) {
        comparison.header = headerDifferences(a.record, b.record);
        compareBeyondBlock(a, b, comparison);
    }
    return comparison;
}

namespace {

// The expected side as the verdict names it: the first file with the unit and the --sets that
// were applied to it.
std::string expectedSide(const CommandLine& withUnit, const std::vector<Override>& sets) {
    std::string side = withUnit.compared[0].given;
    if (withUnit.unit) {
        side += " with unit " + *withUnit.unit + " of " + withUnit.unitsTable;
    }
    for (const Override& override : sets) {
        side += " " + override.option;
    }
    return side;
}

}  // namespace

int compareFiles(const CommandLine& given, Console& console) {
    Reporter reporter = console.reporter(ReportMode{given.quiet, given.strict, false});
    Units units;
    CommandLine commandLine;
    if (!withUnit(given, reporter, units, commandLine)) {
        return kCompareTrouble;
    }
    const auto a = std::make_unique<Configuration>();
    const auto b = std::make_unique<Configuration>();
    const FileName& nameA = commandLine.compared[0];
    const FileName& nameB = commandLine.compared[1];
    // With one file from standard input, --from says what that one holds; the other is known
    // by its own content and name.
    const auto fromFor = [&](const FileName& name) {
        return nameA.standard == nameB.standard || name.standard ? commandLine.from : std::nullopt;
    };
    if (!loadFile(nameA, fromFor(nameA), commandLine, &units, console, reporter, *a) ||
        !loadFile(nameB, fromFor(nameB), commandLine, nullptr, console, reporter, *b)) {
        return kCompareTrouble;
    }
    // A file read with a warning may not be what it seems: no verdict on it.
    if (commandLine.strict && reporter.warnings() > 0) {
        reporter.fail(Failure{reporter.warningCounts() + "; not compared (--strict)"});
        return kCompareTrouble;
    }
    const Comparison comparison = compareConfigurations(*a, *b, commandLine.ignored);
    for (const auto* differences : {&comparison.settings, &comparison.header}) {
        for (const Difference& difference : *differences) {
            printText(console.out, "%s\n", difference.line.c_str());
        }
    }
    printText(console.out, "%s\n",
              verdictOf(comparison, expectedSide(commandLine, given.sets), nameB.given).c_str());
    return comparison.equal() ? kCompareEqual : kCompareDifferent;
}

}  // namespace kr570
