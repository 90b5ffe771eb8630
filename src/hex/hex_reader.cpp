#include "hex/hex_reader.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "hex/hex_fast_path.hpp"
#include "io/byte_source.hpp"
#include "io/characters.hpp"

namespace kr570 {

namespace {

constexpr unsigned kRecordData = 0x00;
constexpr unsigned kRecordEndOfFile = 0x01;
constexpr unsigned kRecordExtendedSegment = 0x02;
constexpr unsigned kRecordStartSegment = 0x03;
constexpr unsigned kRecordExtendedLinear = 0x04;
constexpr unsigned kRecordStartLinear = 0x05;

// The characters after ':' of the longest record the reader takes: byte count, address and
// type, 255 data bytes and the checksum.
constexpr std::size_t kLongestRecord = 2 + 4 + 2 + 2 * 255 + 2;

// Takes a record's fixed-width fields from the bytes after its ':'. A field ends the record
// at its first character that is not a hexadecimal digit; that character is not consumed.
class FieldCursor {
  public:
    FieldCursor(const unsigned char* begin, const unsigned char* end) : p_(begin), end_(end) {}

    // Reads `digits` hexadecimal digits as one number into `value`; false if the record
    // ended first.
    bool take(int digits, std::uint32_t& value) {
        std::uint32_t result = 0;
        for (int i = 0; i < digits; ++i) {
            if (p_ == end_ || hexDigitValue(*p_) == kNotHexDigit) {
                return false;
            }
            result = (result << 4) | hexDigitValue(*p_++);
        }
        value = result;
        return true;
    }

    // The byte at which the record ended, or -1 at the end of the stream.
    int stopCharacter() const { return p_ == end_ ? -1 : *p_; }
    const unsigned char* position() const { return p_; }

  private:
    const unsigned char* p_;
    const unsigned char* end_;
};

std::string hexText(unsigned long value, int width) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*lx", width, value);
    return text;
}

// Reports what a strict reader would refuse.
class HexWarnings {
  public:
    explicit HexWarnings(Diagnostics& diagnostics) : diagnostics_(diagnostics) {}

    void recordEnded(long line, const FieldCursor& fields) {
        const int c = fields.stopCharacter();
        if (c == -1 || c == '\n' || c == '\r') {
            diagnostics_.warn(line, "record cut short");
        } else {
            const std::string character(1, static_cast<char>(c));
            diagnostics_.warn(
                line, "record cut short by the non-hexadecimal character " + quoted(character));
        }
    }

    void checksum(long line, unsigned sum, std::uint32_t found) {
        const unsigned expected = (0x100U - (sum & 0xFFU)) & 0xFFU;
        if (found != expected) {
            diagnostics_.warn(line, "checksum is " + hexText(found, 2) + ", expected " +
                                        hexText(expected, 2) + "; the record is applied");
        }
    }

    void unknownType(long line, std::uint32_t type) {
        diagnostics_.warn(line, "record type " + hexText(type, 2) + " is unknown; skipped");
    }

    void afterEndOfFile(long line) {
        if (!warnedAfterEnd_) {
            warnedAfterEnd_ = true;
            diagnostics_.warn(line, "record after the end-of-file record; it is still applied");
        }
    }

    void outsideImage(long line, std::int64_t offset) {
        if (outsideRecords_++ == 0) {
            first(line, offset);
        }
    }
    // The same, with the line worked out only for the first such record.
    void outsideImage(ByteSource& source, std::int64_t offset) {
        if (outsideRecords_++ == 0) {
            first(source.line(), offset);
        }
    }
    void first(long line, std::int64_t offset) {
        {
            diagnostics_.warn(line, "data at address " +
                                        hexText(static_cast<unsigned long>(offset), 4) +
                                        " lies outside the " + std::to_string(EepromImage::kSize) +
                                        "-byte EEPROM image and is dropped");
        }
    }

    void finish(bool sawEndOfFile) {
        if (outsideRecords_ > 1) {
            diagnostics_.warn(0, std::to_string(outsideRecords_ - 1) +
                                     " more records put data outside the EEPROM image");
        }
        if (!sawEndOfFile) {
            diagnostics_.warn(0, "no end-of-file record");
        }
    }

  private:
    Diagnostics& diagnostics_;
    bool warnedAfterEnd_ = false;
    long outsideRecords_ = 0;
};

// State that lasts from record to record within one file.
struct ScanState {
    std::int64_t addressBase = 0;  // worked out wide: a base plus an address never wraps
    bool sawEndOfFile = false;
};

// Stores one data record's bytes as they are read; returns false if the record ended early.
bool applyData(FieldCursor& fields, EepromImage& image, std::int64_t start, std::uint32_t count,
               unsigned& sum, bool& outside) {
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t value = 0;
        if (!fields.take(2, value)) {
            return false;
        }
        sum += value;
        const std::int64_t offset = start + i;
        if (offset >= 0 && offset < static_cast<std::int64_t>(EepromImage::kSize)) {
            image.putByte(static_cast<std::size_t>(offset), value);
        } else {
            outside = true;
        }
    }
    return true;
}

// Applies the record whose fields begin at the cursor; returns how many characters it took.
std::size_t scanRecord(FieldCursor fields, EepromImage& image, ScanState& state,
                       HexWarnings& warnings, long line) {
    const unsigned char* const begin = fields.position();
    std::uint32_t count = 0;
    std::uint32_t address = 0;
    std::uint32_t type = 0;
    bool complete = fields.take(2, count) && fields.take(4, address) && fields.take(2, type);
    if (complete && state.sawEndOfFile) {
        warnings.afterEndOfFile(line);
    }
    unsigned sum = count + (address >> 8) + (address & 0xFFU) + type;
    bool checked = true;  // whether the record type carries a checksum the reader takes
    if (complete) {
        switch (type) {
            case kRecordData: {
                const std::int64_t start = state.addressBase + address;
                bool outside = false;
                complete = applyData(fields, image, start, count, sum, outside);
                if (outside) {
                    warnings.outsideImage(line, start);
                }
                break;
            }
            case kRecordEndOfFile:
                state.sawEndOfFile = true;
                break;
            case kRecordExtendedSegment:
            case kRecordExtendedLinear: {
                std::uint32_t value = 0;
                complete = fields.take(4, value);
                if (complete) {
                    state.addressBase = static_cast<std::int64_t>(value)
                                        << (type == kRecordExtendedSegment ? 4 : 16);
                    sum += (value >> 8) + (value & 0xFFU);
                }
                break;
            }
            default:
                // Start addresses mean nothing to an EEPROM image; the rest of the record
                // is skipped like text between records.
                checked = false;
                if (type != kRecordStartSegment && type != kRecordStartLinear) {
                    warnings.unknownType(line, type);
                }
                break;
        }
    }
    std::uint32_t checksum = 0;
    if (complete && checked) {
        complete = fields.take(2, checksum);
    }
    if (!complete) {
        warnings.recordEnded(line, fields);
    } else if (checked) {
        warnings.checksum(line, sum, checksum);
    }
    return static_cast<std::size_t>(fields.position() - begin);
}

// Applies the run of regular records that begins after the ':' at the source's cursor, if the
// wide decoder takes one, and moves past it; false, with nothing consumed, when the scalar
// scanner must read the next record.
bool applyDecoded(RecordDecoder decode, ByteSource& source, EepromImage& image,
                  const ScanState& state, HexWarnings& warnings, DecodedRun& run) {
    if (state.sawEndOfFile) {
        return false;
    }
    decode(source.cursor(), source.limit(), run);
    constexpr auto kImageEnd = static_cast<std::int64_t>(EepromImage::kSize);
    for (std::size_t r = 0; r < run.records; ++r) {
        const DecodedRecord& record = run.record[r];
        const std::int64_t start = state.addressBase + record.address();
        const std::int64_t stop = start + record.count();
        for (std::int64_t offset = std::max<std::int64_t>(start, 0);
             offset < std::min(stop, kImageEnd); ++offset) {
            image.putByte(static_cast<std::size_t>(offset), record.data()[offset - start]);
        }
        if (start < 0 || stop > kImageEnd) {
            warnings.outsideImage(source, start);
        }
        // On to the next record's fields, past this one's line end and the next ':'.
        source.advance(record.length + (r + 1 < run.records ? 1 : 0));
    }
    return run.records > 0;
}

// Moves the source just past the next ':'; false at the end of the stream.
bool skipToRecord(ByteSource& source) {
    for (;;) {
        const std::size_t available = source.ensure(1);
        if (available == 0) {
            return false;
        }
        const auto* colon =
            static_cast<const unsigned char*>(std::memchr(source.cursor(), ':', available));
        if (colon != nullptr) {
            source.advance(static_cast<std::size_t>(colon - source.cursor()) + 1);
            return true;
        }
        source.advance(available);
    }
}

}  // namespace

void readHex(std::FILE* input, EepromImage& image, Diagnostics& diagnostics) {
    image.fillImage(0);
    ByteSource source(input);
    HexWarnings warnings(diagnostics);
    ScanState state;
    const RecordDecoder decode = fastRecordDecoder();
    DecodedRun run;
    while (skipToRecord(source)) {
        source.ensure(kLongestRecord);
        if (decode != nullptr && applyDecoded(decode, source, image, state, warnings, run)) {
            continue;
        }
        const long line = source.line();
        source.advance(
            scanRecord(FieldCursor(source.cursor(), source.limit()), image, state, warnings, line));
    }
    warnings.finish(state.sawEndOfFile);
}

void readHex(std::FILE* input, EepromImage& image) {
    Diagnostics silent = Diagnostics::silent();
    readHex(input, image, silent);
}

}  // namespace kr570
