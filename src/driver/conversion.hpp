// Opening and closing the two files of a run, and the two conversion pipelines.
#pragma once

#include <cstdio>
#include <string>

#include "config/config_record.hpp"
#include "eeprom/eeprom_image.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

enum class Direction { HexToText, TextToHex };

// Configuration text is named by a last character of 't' or 'T' (.txt, .TXT, .lst); every
// other name is an Intel HEX file.
Direction chooseDirection(const std::string& inputName);

// Opens the input for reading in binary mode, so that a CR or a Ctrl-Z reads the same on every
// system; nullptr when it cannot be read as a file (missing, unreadable, a directory).
std::FILE* openInput(const std::string& name);

enum class OutputOpening { Opened, Failed, IsInput };

// Opens the output as a text stream for writing, creating it or emptying it. An output that
// is the already opened input (through any path or link) is not opened: emptying it would
// destroy the data about to be converted.
OutputOpening openOutput(const std::string& name, std::FILE* input, std::FILE*& output);

// Everything one conversion works on; the driver owns all of it.
struct Conversion {
    ConfigRecord& record;
    EepromImage& image;
    std::FILE* input;
    std::FILE* output;
    const std::string& inputName;  // as the user gave it; the report names it
    std::FILE* console;            // where the text direction prints the motor estimates
    Diagnostics& diagnostics;      // what the run reports about the input
};

// The first half of each pipeline, which makes the configuration block in the image. From
// Intel HEX: reads the file into the image, warning when it holds no block signature. From
// configuration text: builds the block from the record, parses the text into the record
// (printing the motor estimates to `console` unless it is nullptr) and packs it again;
// returns the block length.
void loadHexBlock(std::FILE* input, EepromImage& image, Diagnostics& diagnostics);
int compileTextBlock(std::FILE* input, ConfigRecord& record, EepromImage& image, std::FILE* console,
                     Diagnostics& diagnostics);

// Runs the pipeline for `direction`: HEX to text reads the image, unpacks the block and
// writes the report; text to HEX builds the block, parses the text into the record, packs it
// again and writes the block as Intel HEX.
void convert(Direction direction, const Conversion& conversion);

// Closes the output; false when any write to it or the close failed, in which case an
// incomplete regular file is removed so that it is never mistaken for a good one.
bool closeOutput(std::FILE* output, const std::string& name);

}  // namespace kr570
