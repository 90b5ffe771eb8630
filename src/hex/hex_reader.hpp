// Reads an Intel HEX file into the EEPROM image.
#pragma once

#include <cstdio>

#include "eeprom/eeprom_image.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// Clears the image, then applies every data record of the stream, read to its end, in file
// order: a forgiving scanner that accepts any line ends, digits of either case, text between
// records and records after the end-of-file record, and that never refuses a checksum. Data
// outside the image is dropped. A record ends early at a character that is not a hexadecimal
// digit, which is left for the scan, so a short record never swallows the next one.
// What a stricter reader would refuse is reported to `diagnostics` as warnings.
void readHex(std::FILE* input, EepromImage& image, Diagnostics& diagnostics);

// The same, for callers that do not want the warnings.
void readHex(std::FILE* input, EepromImage& image);

}  // namespace kr570
