// Reads configuration text (keywords with values, comments after ';') into the ConfigRecord.
#pragma once

#include <optional>
#include <string>

#include "config/config_record.hpp"
#include "config/settings.hpp"
#include "formats/kinds.hpp"
#include "io/byte_source.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// What a text held besides its comments: the words in keyword position, and how many of them
// were keywords.
struct TextSummary {
    long words = 0;
    long settings = 0;
};

// Reads the whole source, word by word, and stores every setting it recognises in `record`;
// settings the text does not name keep their values. A word in keyword position that begins
// with ';' starts a comment to the end of its line. Nothing is ever refused; what was ignored
// or adjusted is reported to `diagnostics` as warnings.
TextSummary parseConfigText(ByteSource& input, ConfigRecord& record, Diagnostics& diagnostics);

// Whether the start of a file is configuration text: its first word that is not a ';' comment
// is a keyword.
bool looksLikeConfigurationText(const FileStart& start);

// Reads `value`, one value as `--set KEYWORD=VALUE` gives it, by the text's own rules into
// `record`. Returns why it cannot be taken: it cannot be read (no value, no number, a number out
// of range or run into other characters, a word that is none of the setting's, more than one
// value), or a text would be warned about it (a number cut to its field, an address in decimal
// digits, a negative motor setting); the record may then hold part of it.
std::optional<Failure> readSettingValue(const Setting& setting, const std::string& value,
                                        ConfigRecord& record, Diagnostics& diagnostics);

// The keyword a mistyped word most likely meant, or nullptr when none is close.
const char* nearestKeyword(const std::string& word);

// "'WORD' is not a keyword", with the keyword it most likely meant.
std::string notAKeyword(const std::string& word);

// Discards characters up to and including the next line feed or carriage return.
void skipRestOfLine(ByteSource& input);

}  // namespace kr570
