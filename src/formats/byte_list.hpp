// Byte lists: the EEPROM's bytes from address 0 on as comma-separated values, which is how
// avrdude writes a read-back in its decimal, hexadecimal, octal and binary forms
// (:d 133,194  :h 0x85,0xc2  :o 0205,0302  :b 0b10000101,0b11000010).
#pragma once

#include <string>

#include "eeprom/image_store.hpp"
#include "formats/kinds.hpp"
#include "io/byte_source.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// Puts the values of the source into the store, the first at address 0. A value is written
// as C writes an integer (0x for hexadecimal, a leading 0 for octal, 0b for binary, decimal
// otherwise); blanks and line ends may stand around the commas. A value that is no byte is
// left out with a warning, its address left as it was; values beyond the image are dropped
// with one warning.
void readByteList(ByteSource& source, ImageStore& store, Diagnostics& diagnostics);

// The value of one byte of a list, written as C writes an integer; -1 when the text is no
// such value or lies beyond 255.
int byteListValue(const std::string& text);

// Whether the first line that is neither blank nor a comment holds at least two values, most of
// them bytes.
bool looksLikeByteList(const FileStart& start);

}  // namespace kr570
