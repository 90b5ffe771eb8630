// Raw binary images: the EEPROM's bytes from address 0 on, as they stand, which is what avrdude
// writes when a read-back names no format.
#pragma once

#include <cstdio>

#include "eeprom/eeprom_image.hpp"
#include "eeprom/image_store.hpp"
#include "io/byte_source.hpp"

namespace kr570 {

// Puts every byte of the source into the store, the first at address 0. Bytes beyond the
// image are dropped with one warning.
void readBinary(ByteSource& source, ImageStore& store);

// Writes image bytes 0 to count - 1 as they stand. The stream must pass bytes unchanged.
void writeBinary(std::FILE* output, const EepromImage& image, int count);

}  // namespace kr570
