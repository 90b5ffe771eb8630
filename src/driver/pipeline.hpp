// The one pipeline every caller goes through (the batch and interactive runs, the compare mode,
// the fuzz harnesses, the benchmark and the page in the browser): read an input of any kind
// into a configuration, change what the run asks for, check it, pack its block once; write it
// as any kind.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/config_record.hpp"
#include "config/settings.hpp"
#include "eeprom/eeprom_image.hpp"
#include "formats/kinds.hpp"
#include "io/byte_source.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// A file as the run names it, resolved once: the name as given, which the report's header
// shows, and whether it stands for a standard stream ('-' in a batch run).
struct FileName {
    std::string given;
    bool standard = false;

    // How messages and warnings name an input.
    std::string shown() const { return standard ? "(standard input)" : given; }
};

// A --set KEYWORD=VALUE, read once, when the command line is: the setting and its value as the
// record holds it.
struct Override {
    const Setting* setting = nullptr;
    std::string option;    // "--set KEYWORD=VALUE", as messages name it
    ConfigRecord value{};  // the setting's field holds the value
};

// Reads `assignment` (KEYWORD=VALUE) as --set gives it; why it cannot be made, when it cannot:
// a value that a text would be warned about is not taken either.
std::optional<Failure> readOverride(const std::string& assignment, Override& override);

// What a run reads an input into: the record, the image (its first 72 bytes are the block) and
// the kind the input was read as. Owned by the caller: the run's one configuration, or one for
// each side of a comparison.
struct Configuration {
    ConfigRecord record{};
    EepromImage image{};
    FileKind kind = FileKind::Text;
    // One flag per EEPROM address: whether the input gave that byte (a text gives the block).
    std::vector<std::uint8_t> given = std::vector<std::uint8_t>(EepromImage::kSize);
};

// An input as the pipeline takes it: its bytes, its name, its kind when the run names one, and
// whether an image that gives only part of the configuration block is taken (--force).
struct Input {
    ByteSource& bytes;
    const FileName& name;
    std::optional<FileKind> kind;
    bool partialBlockTaken = false;
};

// What an input holds: the kind the input names (as --from does); else what the content says
// unmistakably, with a warning when the name says another kind; else what the name says.
FileKind chooseKind(const Input& input, Diagnostics& diagnostics);

// Reads the input into `into` and leaves its settings and its block ready to write:
// - its kind is chosen as chooseKind does;
// - a configuration text starts from the controller's defaults, an image from what it gives;
// - the overrides are made in order;
// - the settings of a text, or any changed by the run, are checked for what they mean for the
//   motor;
// - the block is packed once: built whole for a text, its settings rewritten in an image.
// Returns why the input could not be read whole or holds no configuration. Warnings go to
// `reporter`, named after the input or the override; nothing else is printed.
std::optional<Failure> loadConfiguration(const Input& input, const std::vector<Override>& overrides,
                                         Reporter& reporter, Configuration& into);

// The two halves of loadConfiguration, for a caller that looks at the input as it stands
// before it is changed (a units table checks its addresses against the base): the reading, and
// the changes, the checks and the packing, with the warnings told to `diagnostics`.
std::optional<Failure> readConfiguration(const Input& input, Reporter& reporter,
                                         Configuration& into);
void finishConfiguration(const std::vector<Override>& overrides, Diagnostics& diagnostics,
                         Configuration& configuration);

// The overrides in order, the last one winning, on `record`.
void applyOverrides(const std::vector<Override>& overrides, ConfigRecord& record);

// Writes the configuration as `kind`: the report of its settings (naming `sourceName` as the
// file it came from), or its block as an image file. Any kind the table writes.
void writeConfiguration(FileKind kind, std::FILE* output, const Configuration& configuration,
                        const std::string& sourceName);

// A name as the report's header shows it: a control character becomes '?', so that a name can
// never add a line, and with it a setting, to the report.
std::string printableName(const std::string& name);

// Closes an input unless it is standard input, which is not the run's to close.
struct InputCloser {
    std::FILE* standardInput;
    void operator()(std::FILE* input) const;
};
using InputStream = std::unique_ptr<std::FILE, InputCloser>;

// Opens an input for reading its bytes: standard input for a standard name, passing bytes
// unchanged as a named input does, so that a CR or a Ctrl-Z means the same on every system;
// otherwise the named file. Empty, once `reporter` has told why, when it cannot be read as a
// file (missing, unreadable, a folder, a name with a NUL byte).
InputStream openInput(const FileName& name, std::FILE* standardInput, Reporter& reporter);

}  // namespace kr570
