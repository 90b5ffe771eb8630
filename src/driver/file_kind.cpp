#include "driver/file_kind.hpp"

#include <algorithm>
#include <cstring>

#include "eeprom/config_block.hpp"
#include "io/characters.hpp"
#include "raw/byte_list_reader.hpp"

namespace kr570 {

namespace {

struct KindName {
    FileKind kind;
    const char* option;
    const char* description;
};

constexpr KindName kKindNames[] = {
    {FileKind::Text, "text", "configuration text"},    {FileKind::IntelHex, "hex", "Intel HEX"},
    {FileKind::SRecord, "srec", "Motorola S-records"}, {FileKind::Binary, "bin", "raw binary"},
    {FileKind::ByteList, "list", "a byte list"},
};

// Extensions that say what a file holds.
struct Extension {
    const char* ending;
    FileKind kind;
};

constexpr Extension kExtensions[] = {
    {".hex", FileKind::IntelHex}, {".ihx", FileKind::IntelHex}, {".ihex", FileKind::IntelHex},
    {".eep", FileKind::IntelHex}, {".srec", FileKind::SRecord}, {".s19", FileKind::SRecord},
    {".s28", FileKind::SRecord},  {".s37", FileKind::SRecord},  {".mot", FileKind::SRecord},
    {".bin", FileKind::Binary},   {".raw", FileKind::Binary},   {".csv", FileKind::ByteList},
};

bool endsWith(const std::string& name, const char* ending) {
    const std::size_t length = std::strlen(ending);
    if (name.size() < length) {
        return false;
    }
    return std::equal(
        ending, ending + length, name.end() - static_cast<std::ptrdiff_t>(length),
        [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

// A line of the start of a file: [begin, end), and whether its line end was seen.
struct Line {
    const unsigned char* begin;
    const unsigned char* end;
    bool whole;
};

// The first line that is not blank within [p, limit).
Line firstLine(const unsigned char* p, const unsigned char* limit) {
    while (p < limit && isWhitespace(*p)) {
        ++p;
    }
    const unsigned char* end = p;
    while (end < limit && *end != '\n' && *end != '\r') {
        ++end;
    }
    return {p, end, end < limit};
}

// Hexadecimal digits from `p` on; how many.
std::size_t hexDigits(const unsigned char* p, const unsigned char* end) {
    std::size_t count = 0;
    while (p + count < end && hexDigitValue(p[count]) != kNotHexDigit) {
        ++count;
    }
    return count;
}

// Whether what follows a record on its line is nothing, blanks, or a "//" comment.
bool cleanTail(const unsigned char* p, const unsigned char* end) {
    while (p < end && (*p == ' ' || *p == '\t')) {
        ++p;
    }
    return p == end || (end - p >= 2 && p[0] == '/' && p[1] == '/');
}

// The shape of a record's digits: how many the record always has, and how many each byte
// that its first byte counts adds.
struct RecordShape {
    std::size_t fixed;
    std::size_t perCount;
};

// A whole record: after its `start` characters, hexadecimal digits of the shape, then a
// clean tail.
bool wholeRecord(const Line& line, std::size_t start, RecordShape shape) {
    if (!line.whole || static_cast<std::size_t>(line.end - line.begin) < start + 2) {
        return false;
    }
    const unsigned char* digits = line.begin + start;
    const std::size_t count = hexDigits(digits, line.end);
    const std::size_t counted = hexDigitValue(digits[0]) * 16U + hexDigitValue(digits[1]);
    return count % 2 == 0 && count >= shape.fixed &&
           count == shape.fixed + shape.perCount * counted && cleanTail(digits + count, line.end);
}

bool isIntelHexRecord(const Line& line) {
    // Count, address, type and checksum: 10 digits, and two for each data byte.
    return line.begin < line.end && line.begin[0] == ':' &&
           wholeRecord(line, 1, RecordShape{10, 2});
}

bool isSRecord(const Line& line) {
    // The count's two digits, and two for each byte it counts.
    return line.end - line.begin >= 2 && line.begin[0] == 'S' && line.begin[1] >= '0' &&
           line.begin[1] <= '9' && wholeRecord(line, 2, RecordShape{2, 2});
}

// At least two values, and every value that the window holds whole a byte.
bool isByteList(const Line& line) {
    int values = 0;
    const unsigned char* p = line.begin;
    while (p < line.end) {
        const unsigned char* end = std::find(p, line.end, ',');
        if (end == line.end && !line.whole) {
            break;  // cut by the end of what was looked at
        }
        std::string value(p, end);
        value.erase(std::remove_if(value.begin(), value.end(),
                                   [](char c) { return c == ' ' || c == '\t'; }),
                    value.end());
        if (byteListValue(value) < 0) {
            return false;
        }
        ++values;
        p = end == line.end ? end : end + 1;
    }
    return values >= 2;
}

bool isBinaryImage(const unsigned char* p, const unsigned char* limit) {
    const auto size = static_cast<std::size_t>(limit - p);
    const std::size_t signature = sizeof block::kSignatureBytes;
    if (size >= signature && std::memcmp(p, block::kSignatureBytes, signature) == 0) {
        return true;
    }
    const std::size_t blockBytes = std::min(size, block::kLength);
    return blockBytes > 0 &&
           std::all_of(p, p + blockBytes, [](unsigned char c) { return c == 0xFF; });
}

}  // namespace

FileKind kindByName(const std::string& name) {
    const char last = name.empty() ? '\0' : name.back();
    return (last == 't' || last == 'T') ? FileKind::Text : FileKind::IntelHex;
}

std::optional<FileKind> kindByContent(ByteSource& source) {
    source.ensure(ByteSource::kMaxWindow);
    const unsigned char* const start = source.cursor();
    const unsigned char* const limit = source.limit();
    if (isBinaryImage(start, limit)) {
        return FileKind::Binary;
    }
    const Line line = firstLine(start, limit);
    if (isIntelHexRecord(line)) {
        return FileKind::IntelHex;
    }
    if (isSRecord(line)) {
        return FileKind::SRecord;
    }
    if (isByteList(line)) {
        return FileKind::ByteList;
    }
    return std::nullopt;
}

std::optional<FileKind> kindClaimedByName(const std::string& name) {
    for (const Extension& extension : kExtensions) {
        if (endsWith(name, extension.ending)) {
            return extension.kind;
        }
    }
    if (kindByName(name) == FileKind::Text) {
        return FileKind::Text;
    }
    return std::nullopt;
}

std::optional<FileKind> kindNamed(const std::string& word) {
    for (const KindName& name : kKindNames) {
        if (word == name.option) {
            return name.kind;
        }
    }
    return std::nullopt;
}

const char* kindDescription(FileKind kind) {
    for (const KindName& name : kKindNames) {
        if (name.kind == kind) {
            return name.description;
        }
    }
    return "";
}

std::string nameBeside(const std::string& input, FileKind outputKind) {
    const std::size_t folder = input.find_last_of("/\\:");
    const std::size_t dot = input.rfind('.');
    const bool extension =
        dot != std::string::npos && dot > 0 && (folder == std::string::npos || dot > folder + 1);
    const std::string stem = extension ? input.substr(0, dot) : input;
    switch (outputKind) {
        case FileKind::Text:
        case FileKind::ByteList:
            break;
        case FileKind::IntelHex:
            return stem + ".hex";
        case FileKind::SRecord:
            return stem + ".srec";
        case FileKind::Binary:
            return stem + ".bin";
    }
    return stem + "-report.txt";
}

bool isImage(FileKind kind) {
    return kind != FileKind::Text;
}

}  // namespace kr570
