// The one pipeline every conversion goes through (the batch and interactive runs, the compare
// mode, the fuzz harness and the benchmark): read the input into the record and the image,
// decide, write the output.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/config_record.hpp"
#include "driver/console.hpp"
#include "driver/file_kind.hpp"
#include "eeprom/eeprom_image.hpp"
#include "eeprom/image_store.hpp"
#include "io/byte_source.hpp"
#include "io/diagnostics.hpp"
#include "platform/output.hpp"

namespace kr570 {

// Closes an input unless it is standard input, which is not the run's to close.
struct InputCloser {
    std::FILE* standardInput;
    void operator()(std::FILE* input) const;
};
using InputStream = std::unique_ptr<std::FILE, InputCloser>;

// Opens an input for reading its bytes: `standardInput` when `standard` (a '-' on the command
// line), passing bytes unchanged as a named input does, so that a CR or a Ctrl-Z means the same
// on every system; otherwise the named file. Empty, with `error` set to the reason, when it
// cannot be read as a file (missing, unreadable, a folder, a name with a NUL byte).
InputStream openInput(const std::string& name, bool standard, std::FILE* standardInput, int& error);

// How messages and warnings name an input.
std::string shownName(const std::string& name, bool standard);

// Whether `outputName` names the open input (through any path or link): writing it would
// destroy the data about to be converted.
bool isSameFile(std::FILE* input, const std::string& outputName);

// Whether the output holds text of its own that a report would replace: a non-empty regular
// file that does not begin with the first line of a report.
bool holdsOtherText(const platform::OutputTarget& target);

// A name as the report's header shows it: a control character becomes '?', so that a name can
// never add a line, and with it a setting, to the report.
std::string printableName(const std::string& name);

// Reads the input as readInput does; false, once `report` has said why, when it could not be
// be read whole or holds no configuration. `shown` names it in the message.
bool readWholeInput(FileKind kind, ByteSource& input, const std::string& shown,
                    ConfigRecord& record, EepromImage& image, Diagnostics& diagnostics,
                    FailureReport& report);

// Reads an image file of kind `kind` (any kind but configuration text) into the store.
void readImageFile(FileKind kind, ByteSource& input, ImageStore& store, Diagnostics& diagnostics);

// What an input holds: the kind `from` names when it names one; else what the content says
// unmistakably, with a warning when the name says another kind; else what the name says.
FileKind chooseKind(ByteSource& input, const std::string& name, std::optional<FileKind> from,
                    Diagnostics& diagnostics);

// Reads an input of kind `kind` to its end. Afterwards the record holds its settings and the
// image's first 72 bytes the block: for configuration text, the block the tool builds from the
// text's settings (which start from the controller's defaults); for an image, the image as the
// file gives it. What the input gets wrong is reported to `diagnostics`; nothing is printed.
// Returns why an image holds no configuration (it gives no byte of the block, or the block is
// erased), or nullptr when it holds one.
const char* readInput(FileKind kind, ByteSource& input, ConfigRecord& record, EepromImage& image,
                      Diagnostics& diagnostics);

// Makes the changes --set asks for, in the order given, each by the text's own rules and with
// the warnings its value would give in a text, named after the option; `warnings` nullptr
// leaves them unsaid. Returns how many warnings they gave.
int applySettings(const std::vector<std::pair<std::string, std::string>>& sets,
                  ConfigRecord& record, std::FILE* warnings);

// Checks what the settings mean for the motor, when they come from a text or were changed by
// the run (`changed`): negative values, and estimates that come out infinite or not a number.
void checkSettings(FileKind inputKind, bool changed, const ConfigRecord& record,
                   Diagnostics& diagnostics);

// The kind written when the run does not say: configuration text becomes Intel HEX, and any
// image a report.
FileKind defaultOutputKind(FileKind inputKind);

// Writes the output of kind `kind` (any kind but a byte list): the report of the record (naming
// `sourceName` as the file it came from), or the image's block as an image file. The image's
// block must hold the record's settings (see packBlock).
void writeOutput(FileKind kind, std::FILE* output, const ConfigRecord& record,
                 const EepromImage& image, const std::string& sourceName);

}  // namespace kr570
