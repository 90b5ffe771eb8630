// Intel HEX: the EEPROM image as data records of hexadecimal digits, the form the controller's
// configuration travels in.
#pragma once

#include <cstdio>
#include <vector>

#include "eeprom/image_store.hpp"
#include "formats/kinds.hpp"
#include "io/byte_source.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// Applies every data record of the source, read to its end, to the store, in file order: a
// forgiving scanner that accepts any line ends, digits of either case, text between records
// and records after the end-of-file record, and that never refuses a checksum. A record ends
// early at a character that is not a hexadecimal digit, which is left for the scan, so a short
// record never swallows the next one. After a complete record, a comment that begins with "//"
// runs to the line end (avrdude's :I format); anywhere else a ':' starts a record. What a
// stricter reader would refuse is reported to `diagnostics`.
void readHex(ByteSource& source, ImageStore& store, Diagnostics& diagnostics);

// Writes the image bytes at the addresses that `given` flags (one flag per address) as data
// records of up to 16 bytes in lower-case hexadecimal, then the end-of-file record; a gap stays
// a gap. Every address of the image fits the record's 16-bit address field.
void writeHex(std::FILE* output, const EepromImage& image, const std::vector<std::uint8_t>& given);

// Whether the first line that is not blank is a whole, well-formed record.
bool looksLikeIntelHex(const FileStart& start);

}  // namespace kr570
