// Reads an Intel HEX file into the EEPROM image.
#pragma once

#include "eeprom/image_store.hpp"
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

}  // namespace kr570
