#include "formats/kinds.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/binary.hpp"
#include "formats/byte_list.hpp"
#include "formats/intel_hex.hpp"
#include "formats/srecord.hpp"
#include "io/characters.hpp"

namespace kr570 {

namespace {

// In the order the kinds are listed to the user. The content tests exclude each other: a
// record starts with ':' or 'S', a byte list with a digit, a raw image with bytes no text has.
constexpr KindRow kKinds[] = {
    {FileKind::Text,
     "text",
     "configuration text",
     {},
     "-report.txt",
     nullptr,
     nullptr,
     nullptr,
     false},
    {FileKind::IntelHex,
     "hex",
     "Intel HEX",
     {".hex", ".ihx", ".ihex", ".eep"},
     ".hex",
     looksLikeIntelHex,
     readHex,
     writeHex,
     false},
    {FileKind::SRecord,
     "srec",
     "Motorola S-records",
     {".srec", ".s19", ".s28", ".s37", ".mot"},
     ".srec",
     looksLikeSRecords,
     readSRecords,
     writeSRecords,
     false},
    {FileKind::Binary,
     "bin",
     "raw binary",
     {".bin", ".raw"},
     ".bin",
     looksLikeBinary,
     readBinary,
     writeBinary,
     true},
    // avrdude writes its lists; the tool only reads them.
    {FileKind::ByteList,
     "list",
     "a byte list",
     {".csv"},
     nullptr,
     looksLikeByteList,
     readByteList,
     nullptr,
     false},
};

bool endsWith(const std::string& name, const char* ending) {
    const std::size_t length = std::strlen(ending);
    return name.size() >= length &&
           std::equal(
               ending, ending + length, name.end() - static_cast<std::ptrdiff_t>(length),
               [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

}  // namespace

StartLine firstLine(const FileStart& start) {
    const unsigned char* p = start.begin;
    while (p < start.limit && isWhitespace(*p)) {
        ++p;
    }
    const unsigned char* end = p;
    while (end < start.limit && *end != '\n' && *end != '\r') {
        ++end;
    }
    return {p, end, end < start.limit};
}

const KindRow& kindRow(FileKind kind) {
    return kKinds[static_cast<std::size_t>(kind)];
}

std::optional<FileKind> kindNamed(const std::string& word) {
    for (const KindRow& row : kKinds) {
        if (word == row.word) {
            return row.kind;
        }
    }
    return std::nullopt;
}

std::string kindWords(bool writtenOnly) {
    std::vector<std::string> words;
    for (const KindRow& row : kKinds) {
        if (!writtenOnly || row.kind == FileKind::Text || row.write != nullptr) {
            words.emplace_back(row.word);
        }
    }
    return listed(words, "or");
}

std::optional<FileKind> kindByContent(ByteSource& source) {
    source.ensure(ByteSource::kMaxWindow);
    const FileStart start{source.cursor(), source.limit()};
    for (const KindRow& row : kKinds) {
        if (row.looksLike != nullptr && row.looksLike(start)) {
            return row.kind;
        }
    }
    return std::nullopt;
}

FileKind kindByName(const std::string& name) {
    const char last = name.empty() ? '\0' : name.back();
    return (last == 't' || last == 'T') ? FileKind::Text : FileKind::IntelHex;
}

std::optional<FileKind> kindClaimedByName(const std::string& name) {
    for (const KindRow& row : kKinds) {
        for (const char* extension : row.extensions) {
            if (extension != nullptr && endsWith(name, extension)) {
                return row.kind;
            }
        }
    }
    if (kindByName(name) == FileKind::Text) {
        return FileKind::Text;
    }
    return std::nullopt;
}

std::string nameBeside(const std::string& input, FileKind outputKind) {
    const std::size_t folder = input.find_last_of("/\\:");
    const std::size_t dot = input.rfind('.');
    const bool extension =
        dot != std::string::npos && dot > 0 && (folder == std::string::npos || dot > folder + 1);
    return (extension ? input.substr(0, dot) : input) + kindRow(outputKind).beside;
}

}  // namespace kr570
