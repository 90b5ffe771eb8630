// Writes the first bytes of the EEPROM image as Motorola S-records.
#pragma once

#include <cstdio>

#include "eeprom/eeprom_image.hpp"

namespace kr570 {

// Writes image bytes 0 to count - 1 as S1 records of 16 bytes (the last one shorter), in
// upper-case digits as S-record tools write them, followed by an S9 termination record.
void writeSRecords(std::FILE* output, const EepromImage& image, int count);

}  // namespace kr570
