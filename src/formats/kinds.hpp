// The kinds of file the tool reads and writes, each described once in one table: its word on
// the command line, its name in messages, the name endings that say it, how its content is
// told, its reader and writer, and whether its stream carries bytes rather than text lines.
// Adding a kind is a row here and its reader and writer.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "eeprom/eeprom_image.hpp"
#include "eeprom/image_store.hpp"
#include "io/byte_source.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

enum class FileKind {
    Text,      // configuration text: keywords with values, or a report
    IntelHex,  // an EEPROM image as Intel HEX
    SRecord,   // an EEPROM image as Motorola S-records
    Binary,    // an EEPROM image as raw bytes from address 0 on
    ByteList,  // an EEPROM image as comma-separated byte values (avrdude's :d :h :o :b)
};

// The first bytes of a file, as far as the reader's window reaches: what a content test sees.
struct FileStart {
    const unsigned char* begin;
    const unsigned char* limit;
    bool whole;  // the file ends at `limit`
};

// A line of the start of a file: [begin, end), and whether its line end was seen.
struct StartLine {
    const unsigned char* begin;
    const unsigned char* end;
    bool whole;
};

// The first line of the start that is neither blank nor a comment (a line that begins with
// ';', '#' or "//", as people and avrdude write them before the data). Its line end need not
// be there when the file ends with it.
StartLine firstLine(const FileStart& start);

// Whether a line that begins at `p` is a comment line.
bool isCommentLine(const unsigned char* p, const unsigned char* end);

using ContentTest = bool (*)(const FileStart& start);
using ImageReader = void (*)(ByteSource& source, ImageStore& store, Diagnostics& diagnostics);
// Writes the image bytes at the addresses that `given` flags (one flag per address).
using ImageWriter = void (*)(std::FILE* output, const EepromImage& image,
                             const std::vector<std::uint8_t>& given);

struct KindRow {
    FileKind kind;
    const char* word;         // its name on the command line (--from, --to)
    const char* description;  // its name in messages
    // Name endings that say the kind, in any case; the first is the one its files get.
    const char* extensions[5];
    const char* beside;     // what replaces the extension of an input converted beside itself
    ContentTest looksLike;  // whether the start of a file says this kind unmistakably
    ImageReader read;       // nullptr for configuration text, which the text parser reads
    ImageWriter write;      // nullptr for configuration text (the report) and unwritten kinds
    bool binary;            // the stream passes bytes unchanged, on every system
};

const KindRow& kindRow(FileKind kind);

// The kind an option word names (text, hex, ...); empty for a word that names none.
std::optional<FileKind> kindNamed(const std::string& word);

// The option words of the kinds, "text, hex, srec, bin or list", or of those written only.
std::string kindWords(bool writtenOnly);

// How messages name a kind: "configuration text", "Intel HEX", "raw binary", ...
inline const char* kindDescription(FileKind kind) {
    return kindRow(kind).description;
}

// Whether the kind is an image of the EEPROM (as opposed to configuration text).
inline bool isImage(FileKind kind) {
    return kind != FileKind::Text;
}

// Whether the tool writes the kind: the report for configuration text, a writer for an image.
inline bool isWritten(FileKind kind) {
    return !isImage(kind) || kindRow(kind).write != nullptr;
}

// Every kind, in the order the kinds are listed to the user.
std::vector<FileKind> allKinds();

// What the content says the file holds, when it says so unmistakably; empty when only the name
// can tell. Looks at the start of the source without consuming it.
std::optional<FileKind> kindByContent(ByteSource& source);

// The kind a name's ending says when it says one: an extension of the table (.mot is
// S-records), else a last character of 't' or 'T' (.txt, .TXT, .lst) for configuration text;
// empty for a name that says none.
std::optional<FileKind> kindClaimedByName(const std::string& name);

// What a name says when the content cannot tell: what it claims, else Intel HEX.
FileKind kindByName(const std::string& name);

// The kind an output name and --to ask to write; empty when neither says one (the input's kind
// decides then). Sets `mistake` when the name says a kind that is not written, or --to another
// kind than the name.
std::optional<FileKind> kindWritten(const std::string& name, std::optional<FileKind> to,
                                    std::string& mistake);

// The output written beside `input` when it is converted alone: the name with the kind's
// ending in place of its extension (x-axis.txt gives x-axis.hex, x-axis.hex gives
// x-axis-report.txt).
std::string nameBeside(const std::string& input, FileKind outputKind);

}  // namespace kr570
