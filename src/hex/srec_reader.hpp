// Reads a Motorola S-record file into the EEPROM image.
#pragma once

#include "eeprom/image_store.hpp"
#include "io/byte_source.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// Applies every data record (S1, S2 and S3, with 16-, 24- and 32-bit addresses) of the source,
// read to its end, to the store, in file order. The S0 header is skipped, an S5 or S6 count is
// checked against the data records before it, and S7, S8 or S9 ends the file. Like the Intel
// HEX reader it is forgiving: checksums are checked but never refused, and a record ends early
// at a character that is no hexadecimal digit. What a stricter reader would refuse is reported
// to `diagnostics`.
void readSRecords(ByteSource& source, ImageStore& store, Diagnostics& diagnostics);

}  // namespace kr570
