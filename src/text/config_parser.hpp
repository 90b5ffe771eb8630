// Reads configuration text (keywords with values, comments after ';') into the ConfigRecord.
#pragma once

#include <cstdio>

#include "config/config_record.hpp"
#include "io/byte_source.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// Reads the whole stream, word by word, and stores every setting it recognises in `record`;
// settings the text does not name keep their values. A word in keyword position that begins
// with ';' starts a comment to the end of its line. Afterwards the calculated motor
// parameters of the resulting record are written to `console`, unless it is nullptr. Nothing is
// ever refused; what was ignored or adjusted is reported to `diagnostics` as warnings.
void parseConfigText(std::FILE* input, ConfigRecord& record, std::FILE* console,
                     Diagnostics& diagnostics);

// The same, for callers that do not want the warnings.
void parseConfigText(std::FILE* input, ConfigRecord& record, std::FILE* console);

// Discards characters up to and including the next line feed or carriage return.
void skipRestOfLine(ByteSource& input);

}  // namespace kr570
