// Reads configuration text (keywords with values, comments after ';') into the ConfigRecord.
#pragma once

#include "config/config_record.hpp"
#include "config/settings.hpp"
#include "io/byte_source.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// Reads the whole source, word by word, and stores every setting it recognises in `record`;
// settings the text does not name keep their values. A word in keyword position that begins
// with ';' starts a comment to the end of its line. Nothing is ever refused; what was ignored
// or adjusted is reported to `diagnostics` as warnings.
void parseConfigText(ByteSource& input, ConfigRecord& record, Diagnostics& diagnostics);

// Discards characters up to and including the next line feed or carriage return.
void skipRestOfLine(ByteSource& input);

}  // namespace kr570
