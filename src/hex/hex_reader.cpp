#include "hex/hex_reader.hpp"

#include <cstdint>

#include "hex/record_reader.hpp"

namespace kr570 {

namespace {

constexpr unsigned kRecordData = 0x00;
constexpr unsigned kRecordEndOfFile = 0x01;
constexpr unsigned kRecordExtendedSegment = 0x02;
constexpr unsigned kRecordStartSegment = 0x03;
constexpr unsigned kRecordExtendedLinear = 0x04;
constexpr unsigned kRecordStartLinear = 0x05;

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
        if (complete) {
            afterEnd();
        }
        const char* consequence = "the record is applied";
        if (complete) {
            switch (head.type) {
                case kRecordData:
                    complete = scanData(fields, head);
                    break;
                case kRecordEndOfFile:
                    sawEnd_ = true;
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
        // The checksum makes the sum of every byte of the record 0 modulo 256.
        const std::uint32_t expected = (0x100U - fields.sum()) & 0xFFU;
        std::uint32_t checksum = 0;
        if (!complete || !fields.take(1, checksum)) {
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

    std::uint32_t addressBase_ = 0;
};

}  // namespace

void readHex(ByteSource& source, ImageStore& store, Diagnostics& diagnostics) {
    HexReader(source, store, diagnostics).run();
}

}  // namespace kr570
