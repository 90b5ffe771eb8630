// What the readers of record files (Intel HEX and Motorola S-records) share: the fields of a
// record in hexadecimal digits, the text between records, and the warnings about both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "eeprom/image_store.hpp"
#include "formats/kinds.hpp"
#include "io/byte_source.hpp"
#include "io/characters.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// Calls `record(address, length)` for each data record that writes the addresses `given` flags,
// in ascending order: 16 bytes at most, and never across a gap or a 16-byte boundary, as
// S-record and Intel HEX tools lay them out.
template <typename Record>
void forEachRecord(const std::vector<std::uint8_t>& given, Record record) {
    constexpr std::size_t kRecordBytes = 16;
    for (std::size_t address = 0; address < given.size();) {
        if (given[address] == 0) {
            ++address;
            continue;
        }
        std::size_t length = 1;
        while ((address + length) % kRecordBytes != 0 && address + length < given.size() &&
               given[address + length] != 0) {
            ++length;
        }
        record(static_cast<unsigned>(address), static_cast<unsigned>(length));
        address += length;
    }
}

// Whether `line` is one whole record: after its `start` characters, hexadecimal digits, `fixed`
// of them plus `perCount` for each byte that the first byte counts, then nothing but blanks or
// a "//" comment.
bool isWholeRecord(const StartLine& line, std::size_t start, std::size_t fixed,
                   std::size_t perCount);

// Takes a record's fixed-width fields from the characters after its start, adding every byte
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

    // The sum of the bytes taken so far, modulo 256.
    std::uint32_t sum() const { return sum_ & 0xFFU; }

    // The character at which the record ended, or -1 at the end of the stream.
    int stopCharacter() const { return p_ == end_ ? -1 : *p_; }
    std::size_t taken() const { return static_cast<std::size_t>(p_ - begin_); }

  private:
    const unsigned char* begin_;
    const unsigned char* p_;
    const unsigned char* end_;
    std::uint32_t sum_ = 0;
};

// Reads a record file to its end: finds each record, hands its fields to the format's
// `scanRecord`, and skips and reports whatever lies between records. A record file may hold
// blank lines, any line ends and a comment that begins with "//" after a complete record
// (avrdude's :I form shows each record's bytes there as characters).
class RecordReader {
  public:
    RecordReader(ByteSource& source, ImageStore& store, Diagnostics& diagnostics)
        : source_(source), store_(store), diagnostics_(diagnostics) {}
    virtual ~RecordReader() = default;
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    void run();

  protected:
    // How many characters of a record's start stand at the cursor (a ':' or an 'S'), or 0 when
    // none does.
    virtual std::size_t recordStart() = 0;

    // Applies the record whose fields begin at the cursor; false if it was cut short or is of
    // an unknown type, and the rest of its line is then no longer a record's.
    virtual bool scanRecord(FieldCursor& fields) = 0;

    // Whether a character starts a record even inside text (Intel HEX's ':').
    virtual bool startsRecordInText(int c) const = 0;

    // What to say of a line of bare hexadecimal digits; nullptr for nothing more.
    virtual const char* bareDigitsHint() const = 0;

    // The name of the record that ends the file, for the warnings about records after it.
    virtual const char* endRecordName() const = 0;

    // Whether a file without the record that ends it is worth a warning.
    virtual bool endRequired() const = 0;

    long line() { return source_.line(); }
    void recordCutShort(int stop);
    // Takes the checksum after the fields of a `complete` record and warns when it is not
    // `expected`, saying the `consequence`; false, once told, when the record was cut short.
    bool checkRecord(FieldCursor& fields, bool complete, std::uint32_t expected,
                     const char* consequence);
    // A record after the end record: reported once, then applied like the others.
    void afterEnd();

    ByteSource& source_;
    ImageStore& store_;
    Diagnostics& diagnostics_;
    bool sawData_ = false;
    bool sawEnd_ = false;

  private:
    bool skipToRecord();
    void skipText();
    void skipRecordTail();
    void skipBrokenTail();

    bool warnedAfterEnd_ = false;
    bool recordOnLine_ = false;  // the current line holds a record
    bool textOnLine_ = false;    // the current line holds text outside records
    long textLines_ = 0;         // lines that hold text outside records
};

}  // namespace kr570
