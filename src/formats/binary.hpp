// Raw binary images: the EEPROM's bytes from address 0 on, as they stand, which is what avrdude
// writes when a read-back names no format.
#pragma once

#include <cstdio>
#include <vector>

#include "eeprom/image_store.hpp"
#include "formats/kinds.hpp"
#include "io/byte_source.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// Puts every byte of the source into the store, the first at address 0. Bytes beyond the
// image are dropped with one warning.
void readBinary(ByteSource& source, ImageStore& store, Diagnostics& diagnostics);

// Writes the image from address 0 to the last address that `given` flags, as the bytes stand;
// a gap is filled with 0xff, as an erased EEPROM reads. The stream must pass bytes unchanged.
void writeBinary(std::FILE* output, const EepromImage& image,
                 const std::vector<std::uint8_t>& given);

// Whether the file begins with the configuration block's signature, every byte of the block's
// length is 0xff (an erased EEPROM), or its start holds bytes that no text holds.
bool looksLikeBinary(const FileStart& start);

}  // namespace kr570
