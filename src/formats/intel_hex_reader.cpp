#include <cstdint>

#include "formats/intel_hex.hpp"
#include "formats/record_reader.hpp"

namespace kr570 {

namespace {

constexpr unsigned kRecordData = 0x00;
constexpr unsigned kRecordEndOfFile = 0x01;
constexpr unsigned kRecordExtendedSegment = 0x02;
constexpr unsigned kRecordExtendedLinear = 0x04;
constexpr unsigned kRecordStartLinear = 0x05;  // the last type; 0x03 and 0x05 give start addresses

// The fields every record begins with.
struct RecordHead {
    std::uint32_t count = 0;
    std::uint32_t address = 0;
    std::uint32_t type = 0;
};

class HexReader : public RecordReader {
  public:
    using RecordReader::RecordReader;

  private:
    std::size_t recordStart() override { return source_.peek() == ':' ? 1 : 0; }
    bool startsRecordInText(int c) const override { return c == ':'; }
    const char* bareDigitsHint() const override { return "it looks like a record without its ':'"; }
    const char* endRecordName() const override { return "end-of-file"; }
    bool endRequired() const override { return true; }

    bool scanRecord(FieldCursor& fields) override {
        RecordHead head;
        bool complete =
            fields.take(1, head.count) && fields.take(2, head.address) && fields.take(1, head.type);
        const char* consequence = "the record is applied";
        if (complete) {
            afterEnd();
            if (head.type > kRecordStartLinear) {
                diagnostics_.warn(line(), "record type 0x%02x is unknown; skipped", head.type);
                return false;
            }
            complete = scanFields(fields, head, consequence);
        }
        // The checksum makes the sum of every byte of the record 0 modulo 256.
        return checkRecord(fields, complete, (0x100U - fields.sum()) & 0xFFU, consequence);
    }

    // Reads and applies the fields of a record of a known type; false if it ended early.
    bool scanFields(FieldCursor& fields, const RecordHead& head, const char*& consequence) {
        std::uint32_t value = 0;
        switch (head.type) {
            case kRecordData:
                return scanData(fields, head);
            case kRecordEndOfFile:
                sawEnd_ = true;
                return true;
            case kRecordExtendedSegment:
            case kRecordExtendedLinear:
                if (!fields.take(2, value)) {
                    return false;
                }
                addressBase_ = value << (head.type == kRecordExtendedSegment ? 4 : 16);
                return true;
            default:
                // A start address means nothing to an EEPROM image, but is still checked.
                consequence = "start addresses are ignored anyway";
                return fields.take(4, value);
        }
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

    std::uint32_t addressBase_ = 0;
};

}  // namespace

void readHex(ByteSource& source, ImageStore& store, Diagnostics& diagnostics) {
    HexReader(source, store, diagnostics).run();
}

bool looksLikeIntelHex(const FileStart& start) {
    // Count, address, type and checksum: 10 digits, and two for each data byte.
    const StartLine line = firstLine(start);
    return line.begin < line.end && line.begin[0] == ':' && isWholeRecord(line, 1, 10, 2);
}

}  // namespace kr570
