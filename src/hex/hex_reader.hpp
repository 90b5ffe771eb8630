// Reads an Intel HEX file into the EEPROM image.
#pragma once

#include <cstdio>

#include "eeprom/eeprom_image.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// Clears the image, then applies every data record of the stream, read to its end, in file
// order: a forgiving scanner that accepts any line ends, digits of either case, text between
// records and records after the end-of-file record, and that never refuses a checksum. A data
// byte goes to address base + address + i modulo 2^32, and is dropped when that lies outside
// the image. A record ends early at a character that is not a hexadecimal digit, which is left
// for the scan, so a short record never swallows the next one. After a complete record, a
// comment that begins with "//" runs to the line end (avrdude's :I format); anywhere else a ':'
// starts a record. What a stricter reader would refuse is reported to `diagnostics`.
void readHex(std::FILE* input, EepromImage& image, Diagnostics& diagnostics);

// The same, for callers that do not want the warnings.
void readHex(std::FILE* input, EepromImage& image);

}  // namespace kr570
