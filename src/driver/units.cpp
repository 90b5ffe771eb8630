#include "driver/units.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

#include "driver/existing_output.hpp"
#include "io/output_file.hpp"
#include "io/text_output.hpp"
#include "platform/platform.hpp"
#include "text/config_parser.hpp"
#include "text/units_table.hpp"

namespace kr570 {

namespace {

// Whether Windows takes the name for a device (CON, NUL, COM1, ...), whatever its extension.
bool isDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    const bool numbered = stem.size() == 4 &&
                          (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) &&
                          stem[3] >= '1' && stem[3] <= '9';
    return numbered || stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL";
}

// Why a unit's name makes no file name on every system, or nothing.
std::optional<std::string> unportable(const std::string& name) {
    if (name.empty()) {
        return std::string("no unit name");
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("/\\:*?\"<>|", c) != nullptr) {
            return "the unit name " + quoted(name) + " holds " + quoted(std::string(1, c)) +
                   ", which a file name cannot hold on every system";
        }
    }
    if (name.back() == '.' || name.back() == ' ') {
        return "the unit name " + quoted(name) + " ends in a dot or a blank, which Windows drops";
    }
    if (isDeviceName(name)) {
        return "the unit name " + quoted(name) + " is a device name that Windows reserves";
    }
    return std::nullopt;
}

// The problems of the header: columns that are no keywords, or named twice.
void checkColumns(const UnitsTable& table, const std::string& where,
                  std::vector<std::string>& problems) {
    for (auto column = table.columns.begin(); column != table.columns.end(); ++column) {
        if (findSetting(*column) == nullptr) {
            problems.push_back(where + "column " + notAKeyword(*column));
        } else if (std::find(table.columns.begin(), column, *column) != column) {
            problems.push_back(where + "column '" + *column + "' is named twice");
        }
    }
}

// A row as a unit: its cells read as --set reads a value.
Unit unitOf(const UnitRow& row, const std::string& where, std::vector<std::string>& problems) {
    Unit unit{row.name, row.line, {}};
    for (const auto& [column, value] : row.values) {
        Override override;
        override.setting = findSetting(column);
        override.option =
            formatted("unit %s, %s=%s", row.name.c_str(), column.c_str(), value.c_str());
        Reporter unheard;
        Diagnostics diagnostics(unheard, override.option);
        const auto why =
            override.setting == nullptr
                ? std::nullopt
                : readSettingValue(*override.setting, value, override.value, diagnostics);
        if (why) {
            problems.push_back(formatted("%sunit %s, column '%s': %s", where.c_str(),
                                         row.name.c_str(), column.c_str(), why->what.c_str()));
        } else if (override.setting != nullptr) {
            unit.overrides.push_back(std::move(override));
        }
    }
    return unit;
}

}  // namespace

std::vector<std::string> readUnits(const std::string& table, Units& units) {
    std::vector<std::string> problems;
    const platform::Opened opened = platform::openForReading(table);
    std::FILE* const file = opened.stream;
    if (file == nullptr) {
        return {"Can't open units table " + table + ": " + platform::describeError(opened.error)};
    }
    ByteSource source(file);
    std::vector<std::string> layout;
    const UnitsTable read = readUnitsTable(source, layout);
    (void)std::fclose(file);  // read only: closing loses nothing
    problems.reserve(layout.size());
    for (const std::string& problem : layout) {
        problems.push_back(formatted("%s:%s", table.c_str(), problem.c_str()));
    }
    units.table = table;
    checkColumns(read, table + ":" + std::to_string(read.headerLine) + ": ", problems);
    for (const UnitRow& row : read.rows) {
        const std::string where = table + ":" + std::to_string(row.line) + ": ";
        if (const auto why = unportable(row.name)) {
            problems.push_back(where + *why);
        }
        const auto same = [&row](const Unit& unit) { return unit.name == row.name; };
        const auto earlier = std::find_if(units.units.begin(), units.units.end(), same);
        if (earlier != units.units.end()) {
            problems.push_back(where + "unit " + row.name + " is named twice (first on line " +
                               std::to_string(earlier->line) + ")");
        }
        units.units.push_back(unitOf(row, where, problems));
    }
    return problems;
}

std::vector<std::string> sharedAddresses(const Units& units, const ConfigRecord& base) {
    std::vector<std::string> problems;
    std::vector<std::pair<std::uint8_t, const Unit*>> taken;
    for (const Unit& unit : units.units) {
        ConfigRecord record = base;
        applyOverrides(unit.overrides, record);
        const std::uint8_t address = record.TWI_slaveAddress;
        const auto other = std::find_if(taken.begin(), taken.end(),
                                        [address](const auto& t) { return t.first == address; });
        if (other != taken.end()) {
            problems.push_back(formatted(
                "%s:%ld: units %s (line %ld) and %s share the I2C address 0x%x; give each unit its "
                "own in a TWI_slaveAddress column",
                units.table.c_str(), unit.line, other->second->name.c_str(), other->second->line,
                unit.name.c_str(), static_cast<unsigned>(address)));
        }
        taken.emplace_back(address, &unit);
    }
    return problems;
}

const Unit* findUnit(const Units& units, const std::string& name,
                     std::vector<std::string>& problems) {
    for (const Unit& unit : units.units) {
        if (unit.name == name) {
            return &unit;
        }
    }
    problems.push_back(units.table + " has no unit " + quoted(name));
    return nullptr;
}

namespace {

// Tells every problem of a table as a mistake of the command line; kExitUsage.
int refuse(const std::vector<std::string>& problems, Reporter& reporter) {
    for (const std::string& problem : problems) {
        reporter.fail(Failure{problem});
    }
    reporter.usage(formatted("%u problem%s; nothing written",
                             static_cast<unsigned>(problems.size()),
                             problems.size() == 1 ? "" : "s"));
    return kExitUsage;
}

// The file a unit is written to.
std::string unitOutput(const CommandLine& commandLine, const Unit& unit, FileKind kind) {
    const std::string& folder = commandLine.outputFolder;
    const bool separated = folder.empty() || folder.back() == '/' || folder.back() == '\\';
    return (folder.empty() ? "" : folder + (separated ? "" : "/")) + unit.name +
           kindRow(kind).extensions[0];
}

// The base with the unit's row made, checked and packed; its warnings named after the unit.
std::unique_ptr<Configuration> unitConfiguration(const Configuration& base, const Unit& unit,
                                                 const std::string& baseName, Reporter& reporter) {
    auto configuration = std::make_unique<Configuration>(base);
    Diagnostics diagnostics(reporter, baseName + " (unit " + unit.name + ")");
    finishConfiguration(unit.overrides, diagnostics, *configuration);
    return configuration;
}

// A unit as it is written: the file it goes to and its configuration.
struct UnitFile {
    std::string name;
    std::string output;
    std::unique_ptr<Configuration> configuration;
};

// Makes every unit once, before anything is written: its warnings told, and the file it would
// replace checked, with each problem added to `problems`.
std::vector<UnitFile> makeUnits(const CommandLine& commandLine, const Units& units,
                                const Configuration& base, FileKind kind, Reporter& reporter,
                                std::vector<std::string>& problems) {
    std::vector<UnitFile> made;
    for (const Unit& unit : units.units) {
        UnitFile file{unit.name, unitOutput(commandLine, unit, kind),
                      unitConfiguration(base, unit, commandLine.input.shown(), reporter)};
        const auto loss = commandLine.force ? std::nullopt
                                            : lossOnReplacing(platform::inspectOutput(file.output),
                                                              kind, file.configuration->given);
        if (loss) {
            problems.push_back(keptOutput(file.output, *loss, false));
        }
        made.push_back(std::move(file));
    }
    return made;
}

// Writes every unit; the status, once a failure is told with the units written before it.
int writeEach(const CommandLine& commandLine, const std::vector<UnitFile>& units, FileKind kind,
              Console& console, Reporter& reporter) {
    std::string written;
    for (const UnitFile& unit : units) {
        OutputFile file;
        bool done = file.open(unit.output, platform::inspectOutput(unit.output));
        if (done) {
            writeConfiguration(kind, file.beginWriting(), *unit.configuration,
                               commandLine.input.given);
            done = file.commit();
        }
        if (!done) {
            reporter.fail(Failure{"Can't write output file " + unit.output + " (units written: " +
                                      (written.empty() ? "none" : written) + ")",
                                  file.error()});
            return kExitFailed;
        }
        written += (written.empty() ? "" : ", ") + unit.name;
        if (!commandLine.quiet) {
            printText(console.out, "Output file: %s\n", unit.output.c_str());
        }
    }
    if (!commandLine.quiet) {
        putText(kFinished, console.out);
    }
    return kExitSuccess;
}

}  // namespace

// The command line with the row of its --unit before its own --sets; false, once the problems
// are told, when the table has any.
bool withUnit(const CommandLine& commandLine, Reporter& reporter, Units& units, CommandLine& made) {
    made = commandLine;
    if (!commandLine.unit) {
        return true;
    }
    std::vector<std::string> problems = readUnits(commandLine.unitsTable, units);
    const Unit* unit = findUnit(units, *commandLine.unit, problems);
    for (const std::string& problem : problems) {
        reporter.fail(Failure{problem});
    }
    if (!problems.empty()) {
        return false;
    }
    made.sets.insert(made.sets.begin(), unit->overrides.begin(), unit->overrides.end());
    return true;
}

int writeUnits(const CommandLine& commandLine, Console& console) {
    Reporter reporter = console.reporter(ReportMode{commandLine.quiet, commandLine.strict, false});
    Units units;
    std::vector<std::string> problems = readUnits(commandLine.unitsTable, units);
    const InputStream stream = openInput(commandLine.input, console.in, reporter);
    if (!stream) {
        return kExitFailed;
    }
    ByteSource source(stream.get());
    const auto base = std::make_unique<Configuration>();
    const Input input{source, commandLine.input, commandLine.from, commandLine.force};
    if (const auto failure = readConfiguration(input, reporter, *base)) {
        reporter.fail(*failure);
        return kExitFailed;
    }
    const FileKind kind = commandLine.to.value_or(FileKind::IntelHex);
    const auto shared = sharedAddresses(units, base->record);
    problems.insert(problems.end(), shared.begin(), shared.end());
    const std::vector<UnitFile> made =
        makeUnits(commandLine, units, *base, kind, reporter, problems);
    if (!problems.empty()) {
        return refuse(problems, reporter);
    }
    if (commandLine.strict && reporter.warnings() > 0) {
        reporter.fail(Failure{reporter.warningCounts() + "; nothing written (--strict)"});
        return kExitFailed;
    }
    // A folder that cannot be made fails the first write, which says why.
    std::error_code unmade;
    if (!commandLine.outputFolder.empty()) {
        std::filesystem::create_directories(std::filesystem::u8path(commandLine.outputFolder),
                                            unmade);
    }
    return writeEach(commandLine, made, kind, console, reporter);
}

}  // namespace kr570
