// Writes EEPROM contents as an Intel HEX file.
#pragma once

#include <cstdio>

#include "eeprom/eeprom_image.hpp"

namespace kr570 {

// Writes image bytes 0 to count - 1 as data records of 16 bytes (the last one shorter), in
// lower-case hexadecimal, then the end-of-file record. `count` lies within 0 and the image
// size, so every address fits the record's 16-bit address field.
void writeHex(std::FILE* output, const EepromImage& image, int count);

}  // namespace kr570
