#include "hex/hex_reader.hpp"

#include <cstdint>

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
static_assert(kLongestRecord <= ByteSource::kMaxWindow, "a whole record fits the window");

// Takes a record's fixed-width fields from the characters after its ':', adding every byte
// it takes to the record's sum. A field ends the record at its first character that is not a
// hexadecimal digit; that character is not taken.
class FieldCursor {
  public:
    FieldCursor(const unsigned char* begin, const unsigned char* end)
        : begin_(begin), p_(begin), end_(end) {}

    // Reads the two hexadecimal digits of one byte into `value`; false, with the cursor at the
    // first character that is no digit, if the record ended first.
    bool takeByte(std::uint32_t& value) {
        const std::uint8_t high = p_ == end_ ? kNotHexDigit : hexDigitValue(p_[0]);
        const std::uint8_t low = end_ - p_ < 2 ? kNotHexDigit : hexDigitValue(p_[1]);
        if (high == kNotHexDigit) {
            return false;
        }
        if (low == kNotHexDigit) {
            ++p_;
            return false;
        }
        p_ += 2;
        value = (static_cast<std::uint32_t>(high) << 4) | low;
        sum_ += value;
        return true;
    }

    // Reads a field of `bytes` bytes, most significant first, into `value`.
    bool take(int bytes, std::uint32_t& value) {
        std::uint32_t result = 0;
        for (int i = 0; i < bytes; ++i) {
            std::uint32_t byte = 0;
            if (!takeByte(byte)) {
                return false;
            }
            result = (result << 8) | byte;
        }
        value = result;
        return true;
    }

    // The Intel HEX checksum the bytes taken so far call for.
    std::uint32_t expectedChecksum() const { return (0x100U - (sum_ & 0xFFU)) & 0xFFU; }

    // The character at which the record ended, or -1 at the end of the stream.
    int stopCharacter() const { return p_ == end_ ? -1 : *p_; }
    std::size_t taken() const { return static_cast<std::size_t>(p_ - begin_); }

  private:
    const unsigned char* begin_;
    const unsigned char* p_;
    const unsigned char* end_;
    std::uint32_t sum_ = 0;
};

// The fields every record begins with.
struct RecordHead {
    std::uint32_t count = 0;
    std::uint32_t address = 0;
    std::uint32_t type = 0;
};

bool isLineEnd(int c) {
    return c == '\n' || c == '\r';
}

bool isBlank(int c) {
    return c == ' ' || c == '\t';
}

class HexReader {
  public:
    HexReader(ByteSource& source, ImageStore& store, Diagnostics& diagnostics)
        : source_(source), store_(store), diagnostics_(diagnostics) {}

    void run() {
        while (skipToRecord()) {
            source_.ensure(kLongestRecord);
            FieldCursor fields(source_.cursor(), source_.limit());
            const bool complete = scanRecord(fields);
            source_.advance(fields.taken());
            recordOnLine_ = true;
            if (complete) {
                skipRecordTail();
            } else {
                skipBrokenTail();
            }
        }
        store_.finish();
        if (textLines_ > 1) {
            diagnostics_.warn(0, "%ld more lines hold text outside records", textLines_ - 1);
        }
        if (!sawData_) {
            diagnostics_.warn(0, "no data record");
        }
        if (!sawEndOfFile_) {
            diagnostics_.warn(0, "no end-of-file record");
        }
    }

  private:
    long line() { return source_.line(); }

    // Applies the record whose fields begin at the cursor; false if it was cut short or is of
    // an unknown type, and the rest of its line is then no longer a record's.
    bool scanRecord(FieldCursor& fields) {
        RecordHead head;
        bool complete =
            fields.take(1, head.count) && fields.take(2, head.address) && fields.take(1, head.type);
        if (complete && sawEndOfFile_ && !warnedAfterEnd_) {
            warnedAfterEnd_ = true;
            diagnostics_.warn(line(), "record after the end-of-file record; it is still applied");
        }
        const char* consequence = "the record is applied";
        if (complete) {
            switch (head.type) {
                case kRecordData:
                    complete = scanData(fields, head);
                    break;
                case kRecordEndOfFile:
                    sawEndOfFile_ = true;
                    break;
                case kRecordExtendedSegment:
                case kRecordExtendedLinear: {
                    std::uint32_t value = 0;
                    complete = fields.take(2, value);
                    const int shift = head.type == kRecordExtendedSegment ? 4 : 16;
                    addressBase_ = complete ? value << shift : addressBase_;
                    break;
                }
                case kRecordStartSegment:
                case kRecordStartLinear: {
                    // Means nothing to an EEPROM image, but is still checked.
                    std::uint32_t value = 0;
                    complete = fields.take(4, value);
                    consequence = "start addresses are ignored anyway";
                    break;
                }
                default:
                    diagnostics_.warn(line(), "record type 0x%02x is unknown; skipped", head.type);
                    return false;
            }
        }
        const std::uint32_t expected = fields.expectedChecksum();
        std::uint32_t checksum = 0;
        complete = complete && fields.take(1, checksum);
        if (!complete) {
            recordCutShort(fields.stopCharacter());
            return false;
        }
        if (checksum != expected) {
            diagnostics_.warn(line(), "checksum is 0x%02x, expected 0x%02x; %s", checksum, expected,
                              consequence);
        }
        return true;
    }

    // Reads one data record's bytes and stores those it could read; false if it ended early.
    bool scanData(FieldCursor& fields, const RecordHead& head) {
        std::uint8_t bytes[255];
        std::size_t read = 0;
        std::uint32_t value = 0;
        while (read < head.count && fields.takeByte(value)) {
            bytes[read++] = static_cast<std::uint8_t>(value);
        }
        sawData_ = true;
        store_.store(addressBase_ + head.address, bytes, read);
        return read == head.count;
    }

    void recordCutShort(int stop) {
        if (stop == -1 || isLineEnd(stop)) {
            diagnostics_.warn(line(), "record cut short");
        } else {
            const std::string character(1, static_cast<char>(stop));
            diagnostics_.warn(line(), "record cut short by the non-hexadecimal character %s",
                              quoted(character).c_str());
        }
    }

    // Skips what follows a complete record on its line: blanks, and a comment that begins with
    // "//" and runs to the line end. avrdude's :I format shows each record's bytes there as
    // characters, so the comment may hold ':' and anything else.
    void skipRecordTail() {
        while (isBlank(source_.peek())) {
            source_.advance(1);
        }
        if (source_.peek() == '/' && source_.peek(1) == '/') {
            while (source_.peek() != -1 && !isLineEnd(source_.peek())) {
                source_.advance(1);
            }
        }
    }

    // Skips the rest of a record that was cut short or of an unknown type, up to its line end
    // or the next ':'; it was reported with the record.
    void skipBrokenTail() {
        for (int c = source_.peek(); c != -1 && !isLineEnd(c) && c != ':'; c = source_.peek()) {
            source_.advance(1);
        }
    }

    // Skips a run of text outside records, up to its line end or the next ':', and reports it
    // once for its line.
    void skipText() {
        const long where = textOnLine_ ? 0 : line();
        bool hexDigitsOnly = true;
        for (int c = source_.peek(); c != -1 && !isLineEnd(c) && c != ':'; c = source_.peek()) {
            hexDigitsOnly = hexDigitsOnly && (isBlank(c) || hexDigitValue(c) != kNotHexDigit);
            source_.advance(1);
        }
        if (textOnLine_) {
            return;
        }
        textOnLine_ = true;
        if (textLines_++ == 0) {
            // Digits alone at the start of a line are most likely a record that lost its ':'.
            diagnostics_.warn(where, hexDigitsOnly && !recordOnLine_
                                         ? "text outside records is ignored; it looks like a "
                                           "record without its ':'"
                                         : "text outside records is ignored");
        }
    }

    // Moves the source just past the next ':'; false at the end of the stream.
    bool skipToRecord() {
        for (int c = source_.peek(); c != -1; c = source_.peek()) {
            if (c == ':') {
                source_.advance(1);
                return true;
            }
            if (!isWhitespace(c)) {
                skipText();
                continue;
            }
            source_.advance(1);
            if (isLineEnd(c)) {
                recordOnLine_ = false;
                textOnLine_ = false;
            }
        }
        return false;
    }

    ByteSource& source_;
    ImageStore& store_;
    Diagnostics& diagnostics_;
    std::uint32_t addressBase_ = 0;
    bool sawData_ = false;
    bool sawEndOfFile_ = false;
    bool warnedAfterEnd_ = false;
    bool recordOnLine_ = false;  // the current line holds a record
    bool textOnLine_ = false;    // the current line holds text outside records
    long textLines_ = 0;         // lines that hold text outside records
};

}  // namespace

void readHex(ByteSource& source, ImageStore& store, Diagnostics& diagnostics) {
    HexReader(source, store, diagnostics).run();
}

}  // namespace kr570
