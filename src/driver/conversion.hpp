// Opening the input of a run, the checks before an output is written, and the two conversion
// pipelines.
#pragma once

#include <cstdio>
#include <string>

#include "config/config_record.hpp"
#include "driver/command_line.hpp"
#include "eeprom/eeprom_image.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

enum class Direction { HexToText, TextToHex };

// Configuration text is named by a last character of 't' or 'T' (.txt, .TXT, .lst); every
// other name is an Intel HEX file.
Direction chooseDirection(const std::string& inputName);

// The same, unless --from names the input's kind whatever its name.
Direction chooseDirection(const std::string& inputName, CommandLine::InputKind from);

// Opens the input for reading in binary mode, so that a CR or a Ctrl-Z reads the same on every
// system; nullptr, with `error` set to the reason, when it cannot be read as a file (missing,
// unreadable, a folder).
std::FILE* openInput(const std::string& name, int& error);

// Whether `outputName` names the open input (through any path or link): writing it would
// destroy the data about to be converted.
bool isSameFile(std::FILE* input, const std::string& outputName);

// Whether `outputName` holds text of its own that a report would replace: a non-empty regular
// file that does not begin with the first line of a report.
bool holdsOtherText(const std::string& outputName);

// The input name as the report's header shows it: a control character becomes '?', so that a
// name can never add a line, and with it a setting, to the report.
std::string printableName(const std::string& name);

// Everything one conversion works on; the driver owns all of it.
struct Conversion {
    ConfigRecord& record;
    EepromImage& image;
    std::FILE* input;
    const std::string& inputName;  // as the user gave it; the report names it
    std::FILE* console;            // the motor estimates of the text direction; nullptr: none
    Diagnostics& diagnostics;      // what the run reports about the input
};

// The reading half of the pipeline for `direction`, where every warning arises: HEX to text
// reads the image and unpacks the block; text to HEX builds the block, parses the text into
// the record and checks the motor settings.
void readInput(Direction direction, const Conversion& conversion);

// The writing half: HEX to text writes the report; text to HEX packs the record again and
// writes the block as Intel HEX.
void writeOutput(Direction direction, const Conversion& conversion, std::FILE* output);

}  // namespace kr570
