// What a file holds: the one type every part of the driver uses to say it, and how it is told.
#pragma once

#include <optional>
#include <string>

#include "io/byte_source.hpp"

namespace kr570 {

enum class FileKind {
    Text,      // configuration text: keywords with values, or a report
    IntelHex,  // an EEPROM image as Intel HEX
    SRecord,   // an EEPROM image as Motorola S-records
    Binary,    // an EEPROM image as raw bytes from address 0 on
    ByteList,  // an EEPROM image as comma-separated byte values (avrdude's :d :h :o :b)
};

// What a name says when the content cannot tell: a last character of 't' or 'T' (.txt, .TXT,
// .lst) is configuration text, every other name an Intel HEX file.
FileKind kindByName(const std::string& name);

// What the content says the file holds, when it says so unmistakably; empty when only the name
// can tell. Looks at the start of the source without consuming it:
// - Intel HEX: the first line that is not blank is a whole, well-formed record;
// - Motorola S-records: the same for an S-record (S0 to S9);
// - raw binary: the file begins with the configuration block's signature, or every byte of
//   the block's length is 0xff (an erased EEPROM);
// - a byte list: the first line that is not blank is comma-separated byte values.
std::optional<FileKind> kindByContent(ByteSource& source);

// The kind a name's extension says when it says one (.hex, .srec, .bin, .csv, ... and a last
// letter 't' for configuration text); empty for a name that says none. A file whose content
// says otherwise is worth a warning.
std::optional<FileKind> kindClaimedByName(const std::string& name);

// The kind an option names ("text", "hex", "srec", "bin", "list"); empty for a word that names
// none.
std::optional<FileKind> kindNamed(const std::string& word);

// How messages name a kind: "configuration text", "Intel HEX", "raw binary", ...
const char* kindDescription(FileKind kind);

// The output written beside `input` when it is converted alone: the same name with the
// kind's extension (x-axis.txt gives x-axis.hex, .srec or .bin), or, for a report, the name
// with "-report.txt" in place of its extension (x-axis.hex gives x-axis-report.txt).
std::string nameBeside(const std::string& input, FileKind outputKind);

// Whether the kind is an image of the EEPROM (as opposed to configuration text).
bool isImage(FileKind kind);

}  // namespace kr570
