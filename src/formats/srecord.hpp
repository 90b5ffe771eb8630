// Motorola S-records: the EEPROM image as S1, S2 or S3 data records, as avrdude's :s form and
// S-record tools write it.
#pragma once

#include <cstdio>
#include <vector>

#include "eeprom/image_store.hpp"
#include "formats/kinds.hpp"
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

// Writes the image bytes at the addresses that `given` flags as S1 records of up to 16 bytes, in
// upper-case digits as S-record tools write them, followed by an S9 termination record; a gap
// stays a gap.
void writeSRecords(std::FILE* output, const EepromImage& image,
                   const std::vector<std::uint8_t>& given);

// Whether the first line that is not blank is a whole, well-formed S-record (S0 to S9).
bool looksLikeSRecords(const FileStart& start);

}  // namespace kr570
