// What a file holds: the one type every part of the driver uses to say it.
#pragma once

#include <optional>
#include <string>

namespace kr570 {

enum class FileKind {
    Text,      // configuration text: keywords with values, or a report
    IntelHex,  // an EEPROM image as Intel HEX
};

// What a name says: a last character of 't' or 'T' (.txt, .TXT, .lst) is configuration text,
// every other name an Intel HEX file.
FileKind kindByName(const std::string& name);

// The kind an option names ("text", "hex"); empty for a word that names none.
std::optional<FileKind> kindNamed(const std::string& word);

// Whether the kind is an image of the EEPROM (as opposed to configuration text).
bool isImage(FileKind kind);

}  // namespace kr570
