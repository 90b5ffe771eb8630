#include "hex/hex_reader.hpp"

#include <cstdint>
#include <string>
#include <vector>

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

// A place in the input whose line number is counted only when a warning names it: counting
// lines for every record would slow down the clean files that make up nearly all input.
class SourcePlace {
  public:
    explicit SourcePlace(ByteSource& source) : source_(&source) {}
    // A place `linesOn` lines past the source's position, whose bytes are not passed yet.
    SourcePlace(ByteSource& source, long linesOn) : source_(&source), linesOn_(linesOn) {}
    long line() const {
        const long here = source_->line();
        return here == 0 ? 0 : here + linesOn_;
    }

  private:
    ByteSource* source_;
    long linesOn_ = 0;
};

// An image byte that a record set to another value than an earlier record had.
struct Overwrite {
    std::uint32_t address = 0;
    unsigned before = 0;
    unsigned after = 0;
};

// Reports what a strict reader would refuse.
class HexWarnings {
  public:
    explicit HexWarnings(Diagnostics& diagnostics) : diagnostics_(diagnostics) {}

    void recordEnded(const SourcePlace& where, const FieldCursor& fields) {
        const int c = fields.stopCharacter();
        if (c == -1 || c == '\n' || c == '\r') {
            diagnostics_.warn(where.line(), "record cut short");
        } else {
            const std::string character(1, static_cast<char>(c));
            diagnostics_.warn(where.line(), "record cut short by the non-hexadecimal character " +
                                                quoted(character));
        }
    }

    // `consequence` says what becomes of the record all the same.
    void checksum(const SourcePlace& where, unsigned sum, std::uint32_t found,
                  const char* consequence) {
        const unsigned expected = (0x100U - (sum & 0xFFU)) & 0xFFU;
        if (found != expected) {
            diagnostics_.warn(where.line(), "checksum is " + hexText(found, 2) + ", expected " +
                                                hexText(expected, 2) + "; " + consequence);
        }
    }

    void unknownType(const SourcePlace& where, std::uint32_t type) {
        diagnostics_.warn(where.line(), "record type " + hexText(type, 2) + " is unknown; skipped");
    }

    void afterEndOfFile(const SourcePlace& where) {
        if (!warnedAfterEnd_) {
            warnedAfterEnd_ = true;
            diagnostics_.warn(where.line(),
                              "record after the end-of-file record; it is still applied");
        }
    }

    // Most records of a large file lie outside the image: all but the first are only counted,
    // and that count stays inline in the record loop.
    void outsideImage(const SourcePlace& where, std::uint32_t firstDropped, long records = 1) {
        if (outsideRecords_ == 0) {
            firstOutsideImage(where, firstDropped);
        }
        outsideRecords_ += records;
    }

    void overwritten(const SourcePlace& where, const Overwrite& overwrite) {
        if (overwritingRecords_++ == 0) {
            diagnostics_.warn(where.line(), "address " + hexText(overwrite.address, 4) +
                                                " is written twice, with " +
                                                hexText(overwrite.before, 2) + " and then " +
                                                hexText(overwrite.after, 2) +
                                                "; the later value is kept");
        }
    }

    void textOutsideRecords(const SourcePlace& where, bool looksLikeRecord) {
        if (textLines_++ == 0) {
            diagnostics_.warn(where.line(),
                              looksLikeRecord
                                  ? "text outside records is ignored; it looks like a record "
                                    "without its ':'"
                                  : "text outside records is ignored");
        }
    }

    void finish(bool sawData, bool sawEndOfFile) {
        moreOf(outsideRecords_, " more records put data outside the EEPROM image");
        moreOf(overwritingRecords_, " more records write other values over earlier data");
        moreOf(textLines_, " more lines hold text outside records");
        if (!sawData) {
            diagnostics_.warn(0, "no data record");
        }
        if (!sawEndOfFile) {
            diagnostics_.warn(0, "no end-of-file record");
        }
    }

  private:
    void firstOutsideImage(const SourcePlace& where, std::uint32_t firstDropped) {
        diagnostics_.warn(where.line(), "data at address " + hexText(firstDropped, 4) +
                                            " lies outside the " +
                                            std::to_string(EepromImage::kSize) +
                                            "-byte EEPROM image and is dropped");
    }

    // The first of a kind is reported where it stands; the others are counted at the end.
    void moreOf(long reported, const char* what) {
        if (reported > 1) {
            diagnostics_.warn(0, std::to_string(reported - 1) + what);
        }
    }

    Diagnostics& diagnostics_;
    bool warnedAfterEnd_ = false;
    long outsideRecords_ = 0;
    long overwritingRecords_ = 0;
    long textLines_ = 0;
};

// Puts the bytes of data records into the image; knows which bytes the file has written, so
// that a record writing another value over one of them is reported.
class ImageStore {
  public:
    ImageStore(EepromImage& image, HexWarnings& warnings)
        : image_(image), written_(EepromImage::kSize, 0), warnings_(warnings) {}

    // Stores `count` bytes from address `start` on, each where the Intel HEX standard puts it:
    // at start + i modulo 2^32, which keeps it when that lies inside the image.
    void store(std::uint32_t start, const std::uint8_t* bytes, std::size_t count,
               const SourcePlace& where) {
        const std::uint64_t end = std::uint64_t{start} + count;
        if (end <= EepromImage::kSize) {
            storeInside(start, bytes, count, where);
        } else if (whollyOutside(start, count)) {
            warnings_.outsideImage(where, start);
        } else {
            storeStraddling(start, bytes, count, where);
        }
    }

    // Stores the records of a decoded run, whose first record stands at the source's
    // position and each next one a line further on; their addresses are `base` on from
    // theirs. Most records of a large file lie wholly outside the image: runs of them are
    // only counted.
    void storeRun(const DecodedRun& run, std::uint32_t base, ByteSource& source) {
        std::size_t r = 0;
        while (r < run.records) {
            const std::size_t first = r;
            while (r < run.records && farOutside(base + run.record[r].address())) {
                ++r;
            }
            if (r > first) {
                warnings_.outsideImage(SourcePlace(source, static_cast<long>(first)),
                                       base + run.record[first].address(),
                                       static_cast<long>(r - first));
            }
            if (r < run.records) {
                const DecodedRecord& record = run.record[r];
                store(base + record.address(), record.data(), record.count(),
                      SourcePlace(source, static_cast<long>(r)));
                ++r;
            }
        }
    }

  private:
    // Whether no byte of a record lies inside the image: it starts beyond it and does not
    // wrap at 2^32 to address 0.
    static bool whollyOutside(std::uint32_t start, std::size_t count) {
        return start >= EepromImage::kSize &&
               std::uint64_t{start} + count <= (std::uint64_t{1} << 32);
    }

    // Whether a record of at most 255 bytes from `start` on lies wholly outside the image, and
    // far enough from 2^32 that it cannot wrap: one comparison for most records of a large
    // file. The few others are stored one by one.
    static bool farOutside(std::uint32_t start) {
        constexpr std::uint32_t kLastFarStart = 0xFFFFFFFFU - 255;
        return start - std::uint32_t{EepromImage::kSize} <=
               kLastFarStart - std::uint32_t{EepromImage::kSize};
    }

    // A record that lies wholly inside the image: the common case, kept free of branches per
    // byte so that the compiler can vectorise it.
    void storeInside(std::uint32_t start, const std::uint8_t* bytes, std::size_t count,
                     const SourcePlace& where) {
        unsigned differs = 0;
        for (std::size_t i = 0; i < count; ++i) {
            differs |=
                static_cast<unsigned>(written_[start + i] & (image_.getByte(start + i) ^ bytes[i]));
        }
        if (differs != 0) {
            for (std::size_t i = 0; i < count; ++i) {
                const unsigned before = image_.getByte(start + i);
                if (written_[start + i] != 0 && before != bytes[i]) {
                    warnings_.overwritten(
                        where, Overwrite{static_cast<std::uint32_t>(start + i), before, bytes[i]});
                    break;
                }
            }
        }
        for (std::size_t i = 0; i < count; ++i) {
            written_[start + i] = kWritten;
        }
        image_.putBytes(start, bytes, count);
    }

    // A record that runs past the end of the image, or that starts beyond it and wraps at 2^32
    // to address 0: either way only one run of it lies inside.
    void storeStraddling(std::uint32_t start, const std::uint8_t* bytes, std::size_t count,
                         const SourcePlace& where) {
        if (start < EepromImage::kSize) {
            storeInside(start, bytes, EepromImage::kSize - start, where);
            warnings_.outsideImage(where, static_cast<std::uint32_t>(EepromImage::kSize));
        } else {
            const auto beforeWrap = static_cast<std::size_t>((std::uint64_t{1} << 32) - start);
            storeInside(0, bytes + beforeWrap, count - beforeWrap, where);
            warnings_.outsideImage(where, start);
        }
    }

    EepromImage& image_;
    // kWritten where a data record has put a byte: a mask, so that "written and different" is
    // one AND of it with the old and new values' difference.
    static constexpr std::uint8_t kWritten = 0xFF;
    std::vector<std::uint8_t> written_;
    HexWarnings& warnings_;
};

// State that lasts from record to record within one file.
struct ScanState {
    std::uint32_t addressBase = 0;
    bool sawData = false;
    bool sawEndOfFile = false;
    bool recordOnLine = false;  // the current line holds a record
    bool textOnLine = false;    // the current line holds text outside records
};

// What one record's scan works with.
struct RecordScan {
    ImageStore& store;
    ScanState& state;
    HexWarnings& warnings;
    SourcePlace place;
};

// Reads one data record's bytes and stores those it could read; false if it ended early.
bool scanData(FieldCursor& fields, RecordScan& scan, std::uint32_t address, std::uint32_t count,
              unsigned& sum) {
    std::uint8_t bytes[255];
    std::size_t read = 0;
    std::uint32_t value = 0;
    while (read < count && fields.take(2, value)) {
        bytes[read++] = static_cast<std::uint8_t>(value);
        sum += value;
    }
    scan.state.sawData = true;
    scan.store.store(scan.state.addressBase + address, bytes, read, scan.place);
    return read == count;
}

// Reads the value of an extended address record into the address base.
bool scanExtended(FieldCursor& fields, ScanState& state, std::uint32_t type, unsigned& sum) {
    std::uint32_t value = 0;
    if (!fields.take(4, value)) {
        return false;
    }
    state.addressBase = value << (type == kRecordExtendedSegment ? 4 : 16);
    sum += (value >> 8) + (value & 0xFFU);
    return true;
}

// Reads the 4-byte value of a start address record, which means nothing to an EEPROM image
// but is still checked.
bool scanStart(FieldCursor& fields, unsigned& sum) {
    std::uint32_t value = 0;
    if (!fields.take(8, value)) {
        return false;
    }
    sum += (value >> 24) + ((value >> 16) & 0xFFU) + ((value >> 8) & 0xFFU) + (value & 0xFFU);
    return true;
}

struct RecordResult {
    std::size_t length;  // characters the record took after its ':'
    bool complete;       // every field was read: what follows on the line is no longer the record's
};

// Applies the record whose fields begin at the cursor.
RecordResult scanRecord(FieldCursor fields, RecordScan& scan) {
    const unsigned char* const begin = fields.position();
    std::uint32_t count = 0;
    std::uint32_t address = 0;
    std::uint32_t type = 0;
    bool complete = fields.take(2, count) && fields.take(4, address) && fields.take(2, type);
    if (complete && scan.state.sawEndOfFile) {
        scan.warnings.afterEndOfFile(scan.place);
    }
    unsigned sum = count + (address >> 8) + (address & 0xFFU) + type;
    const char* consequence = "the record is applied";
    if (complete) {
        switch (type) {
            case kRecordData:
                complete = scanData(fields, scan, address, count, sum);
                break;
            case kRecordEndOfFile:
                scan.state.sawEndOfFile = true;
                break;
            case kRecordExtendedSegment:
            case kRecordExtendedLinear:
                complete = scanExtended(fields, scan.state, type, sum);
                break;
            case kRecordStartSegment:
            case kRecordStartLinear:
                complete = scanStart(fields, sum);
                consequence = "start addresses are ignored anyway";
                break;
            default:
                // The rest of the record is skipped like text between records.
                scan.warnings.unknownType(scan.place, type);
                return {static_cast<std::size_t>(fields.position() - begin), false};
        }
    }
    std::uint32_t checksum = 0;
    complete = complete && fields.take(2, checksum);
    if (!complete) {
        scan.warnings.recordEnded(scan.place, fields);
    } else {
        scan.warnings.checksum(scan.place, sum, checksum, consequence);
    }
    return {static_cast<std::size_t>(fields.position() - begin), complete};
}

bool isLineEnd(int c) {
    return c == '\n' || c == '\r';
}

bool isBlank(int c) {
    return c == ' ' || c == '\t';
}

// Skips what follows a complete record on its line: blanks, and a comment that begins with
// "//" and runs to the line end. avrdude's :I format shows each record's bytes there as
// characters, so the comment may hold ':' and anything else.
void skipRecordTail(ByteSource& source) {
    const int next = source.peek();
    if (next != ' ' && next != '\t' && next != '/') {
        return;  // nearly always a line end
    }
    source.consumeWhile([](unsigned char c) { return isBlank(c); });
    if (source.ensure(2) >= 2 && source.cursor()[0] == '/' && source.cursor()[1] == '/') {
        source.consumeWhile([](unsigned char c) { return !isLineEnd(c); });
    }
}

// Skips the rest of a record that was cut short or of an unknown type, up to its line end or
// the next ':'; it was reported with the record.
void skipBrokenTail(ByteSource& source) {
    source.consumeWhile([](unsigned char c) { return !isLineEnd(c) && c != ':'; });
}

// Skips a run of text outside records, up to its line end or the next ':', and reports it
// once for its line.
void skipText(ByteSource& source, ScanState& state, HexWarnings& warnings) {
    bool hexDigitsOnly = true;
    source.consumeWhile([](unsigned char c) { return !isLineEnd(c) && c != ':'; },
                        [&hexDigitsOnly](const unsigned char* run, std::size_t count) {
                            for (std::size_t i = 0; i < count; ++i) {
                                hexDigitsOnly =
                                    hexDigitsOnly &&
                                    (isBlank(run[i]) || hexDigitValue(run[i]) != kNotHexDigit);
                            }
                        });
    if (!state.textOnLine) {
        state.textOnLine = true;
        // Digits alone at the start of a line are most likely a record that lost its ':'.
        warnings.textOutsideRecords(SourcePlace(source), hexDigitsOnly && !state.recordOnLine);
    }
}

// Stores the run of regular data records that the wide decoder takes after the ':' at the
// source's cursor, each with its line end, and moves past them; false, with nothing consumed,
// when the scalar scanner must read the next record. What the decoder takes is exactly what the
// scalar scanner would accept without a word: so the records are stored as it stores them.
bool storeDecodedRun(RecordDecoder decode, ByteSource& source, ImageStore& store, ScanState& state,
                     DecodedRun& run) {
    if (decode == nullptr || state.sawEndOfFile) {
        return false;  // records after the end-of-file record are reported one by one
    }
    decode(source.cursor(), source.limit(), run);
    if (run.records == 0) {
        return false;
    }
    // The source stays at the first record until all are stored: the r-th lies r lines on,
    // since each record holds one line end, LF or CR LF, and no other.
    store.storeRun(run, state.addressBase, source);
    source.advanceOverLines(run.length, static_cast<long>(run.records));
    state.sawData = true;
    state.recordOnLine = false;  // the last record's line end was taken with it
    state.textOnLine = false;
    return true;
}

// Moves the source just past the next ':'; false at the end of the stream.
bool skipToRecord(ByteSource& source, ScanState& state, HexWarnings& warnings) {
    // The common case first: one line end, and the next record.
    if (source.ensure(3) >= 3) {
        const unsigned char* p = source.cursor();
        std::size_t lineEnd = 0;
        if (p[0] == '\n') {
            lineEnd = 1;
        } else if (p[0] == '\r') {
            lineEnd = p[1] == '\n' ? 2 : 1;
        }
        if (lineEnd > 0 && p[lineEnd] == ':') {
            source.advanceOverLines(lineEnd + 1, 1);
            state.recordOnLine = false;
            state.textOnLine = false;
            return true;
        }
    }
    for (int c = source.peek(); c != -1; c = source.peek()) {
        if (c == ':') {
            source.advanceOverText(1);
            return true;
        }
        if (!isWhitespace(c)) {
            skipText(source, state, warnings);
            continue;
        }
        source.advance(1);
        if (isLineEnd(c)) {
            state.recordOnLine = false;
            state.textOnLine = false;
        }
    }
    return false;
}

}  // namespace

void readHex(std::FILE* input, EepromImage& image, Diagnostics& diagnostics) {
    image.fillImage(0);
    ByteSource source(input, diagnostics.printsWarnings() ? ByteSource::Lines::Counted
                                                          : ByteSource::Lines::NotCounted);
    HexWarnings warnings(diagnostics);
    ImageStore store(image, warnings);
    ScanState state;
    const RecordDecoder decode = fastRecordDecoder();
    DecodedRun run;
    while (skipToRecord(source, state, warnings)) {
        source.ensure(kLongestRecord);
        if (storeDecodedRun(decode, source, store, state, run)) {
            continue;
        }
        RecordScan scan{store, state, warnings, SourcePlace(source)};
        const RecordResult record = scanRecord(FieldCursor(source.cursor(), source.limit()), scan);
        source.advanceOverText(record.length);  // a record's digits hold no line end
        state.recordOnLine = true;
        if (record.complete) {
            skipRecordTail(source);
        } else {
            skipBrokenTail(source);
        }
    }
    warnings.finish(state.sawData, state.sawEndOfFile);
}

void readHex(std::FILE* input, EepromImage& image) {
    Diagnostics silent = Diagnostics::silent();
    readHex(input, image, silent);
}

}  // namespace kr570
