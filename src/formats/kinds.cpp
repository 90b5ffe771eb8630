#include "formats/kinds.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/binary.hpp"
#include "formats/byte_list.hpp"
#include "formats/intel_hex.hpp"
#include "formats/srecord.hpp"
#include "io/characters.hpp"
#include "text/config_parser.hpp"

namespace kr570 {

namespace {

// In the order the kinds are listed to the user. The content tests exclude each other: a text
// starts with a keyword, a record with ':' or 'S', a byte list with a number, and a raw image
// with the block's signature, 0xff or bytes that no text holds.
// clang-format off
constexpr KindRow kKinds[] = {
    {FileKind::Text, "text", "configuration text", {".txt"}, "-report.txt",
     looksLikeConfigurationText, nullptr, nullptr, false},
    {FileKind::IntelHex, "hex", "Intel HEX", {".hex", ".ihx", ".ihex", ".eep"}, ".hex",
     looksLikeIntelHex, readHex, writeHex, false},
    {FileKind::SRecord, "srec", "Motorola S-records", {".srec", ".s19", ".s28", ".s37", ".mot"},
     ".srec", looksLikeSRecords, readSRecords, writeSRecords, false},
    {FileKind::Binary, "bin", "raw binary", {".bin", ".raw"}, ".bin",
     looksLikeBinary, readBinary, writeBinary, true},
    // avrdude writes its lists; the tool only reads them.
    {FileKind::ByteList, "list", "a byte list", {".csv"}, nullptr,
     looksLikeByteList, readByteList, nullptr, false},
};
// clang-format on

bool endsWith(const std::string& name, const char* ending) {
    const std::size_t length = std::strlen(ending);
    return name.size() >= length &&
           std::equal(
               ending, ending + length, name.end() - static_cast<std::ptrdiff_t>(length),
               [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

}  // namespace

bool isCommentLine(const unsigned char* p, const unsigned char* end) {
    return p < end && (*p == ';' || *p == '#' || (end - p >= 2 && p[0] == '/' && p[1] == '/'));
}

StartLine firstLine(const FileStart& start) {
    const unsigned char* p = start.begin;
    for (;;) {
        while (p < start.limit && isWhitespace(*p)) {
            ++p;
        }
        const unsigned char* end = p;
        while (end < start.limit && *end != '\n' && *end != '\r') {
            ++end;
        }
        if (!isCommentLine(p, end) || end == start.limit) {
            return {p, end, end < start.limit || start.whole};
        }
        p = end;
    }
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

std::vector<FileKind> allKinds() {
    std::vector<FileKind> kinds;
    for (const KindRow& row : kKinds) {
        kinds.push_back(row.kind);
    }
    return kinds;
}

std::string kindWords(bool writtenOnly) {
    std::vector<std::string> words;
    for (const KindRow& row : kKinds) {
        if (!writtenOnly || isWritten(row.kind)) {
            words.emplace_back(row.word);
        }
    }
    return listed(words, "or");
}

std::optional<FileKind> kindByContent(ByteSource& source) {
    const bool whole = source.ensure(ByteSource::kMaxWindow) < ByteSource::kMaxWindow;
    const FileStart start{source.cursor(), source.limit(), whole};
    for (const KindRow& row : kKinds) {
        if (row.looksLike != nullptr && row.looksLike(start)) {
            return row.kind;
        }
    }
    return std::nullopt;
}

std::optional<FileKind> kindClaimedByName(const std::string& name) {
    for (const KindRow& row : kKinds) {
        for (const char* extension : row.extensions) {
            if (extension != nullptr && endsWith(name, extension)) {
                return row.kind;
            }
        }
    }
    const char last = name.empty() ? '\0' : name.back();
    if (last == 't' || last == 'T') {
        return FileKind::Text;
    }
    return std::nullopt;
}

FileKind kindByName(const std::string& name) {
    return kindClaimedByName(name).value_or(FileKind::IntelHex);
}

std::optional<FileKind> kindWritten(const std::string& name, std::optional<FileKind> to,
                                    std::string& mistake) {
    const std::optional<FileKind> named = name == "-" ? std::nullopt : kindClaimedByName(name);
    if (named && !isWritten(*named)) {
        mistake = name + " names " + kindDescription(*named) +
                  ", which kr570convert does not write; it writes " + kindWords(true);
    } else if (named && to && named != to) {
        mistake = std::string("--to ") + kindRow(*to).word + " contradicts the output's name " +
                  name + " (" + kindDescription(*named) + ")";
    }
    return to ? to : named;
}

std::string nameBeside(const std::string& input, FileKind outputKind) {
    const std::size_t folder = input.find_last_of("/\\:");
    const std::size_t dot = input.rfind('.');
    const bool extension =
        dot != std::string::npos && dot > 0 && (folder == std::string::npos || dot > folder + 1);
    return (extension ? input.substr(0, dot) : input) + kindRow(outputKind).beside;
}

}  // namespace kr570
