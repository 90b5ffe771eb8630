#include "hex/srec_reader.hpp"

#include <cstdint>

#include "hex/record_reader.hpp"

namespace kr570 {

namespace {

class SRecordReader : public RecordReader {
  public:
    using RecordReader::RecordReader;

  private:
    // "S" and the digit of the record's type.
    std::size_t recordStart() override {
        const int digit = source_.peek(1);
        if (source_.peek() != 'S' || digit < '0' || digit > '9') {
            return 0;
        }
        type_ = static_cast<unsigned>(digit - '0');
        return 2;
    }
    bool startsRecordInText(int /*c*/) const override { return false; }
    const char* bareDigitsHint() const override { return nullptr; }
    const char* endRecordName() const override { return "termination"; }
    // srec_cat writes none when the image has no start address.
    bool endRequired() const override { return false; }

    // How many bytes each type's address field takes; 0 for the type S4, which no file holds.
    static int addressBytes(unsigned type) {
        constexpr int kBytes[] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
        return kBytes[type];
    }

    bool scanRecord(FieldCursor& fields) override {
        if (addressBytes(type_) == 0) {
            diagnostics_.warn(line(), "record type S%u is unknown; skipped", type_);
            return false;
        }
        std::uint32_t count = 0;
        std::uint32_t address = 0;
        if (!fields.take(1, count) || !fields.take(addressBytes(type_), address)) {
            recordCutShort(fields.stopCharacter());
            return false;
        }
        afterEnd();
        // The count covers the address, the data and the checksum.
        const auto fixed = static_cast<std::uint32_t>(addressBytes(type_) + 1);
        if (count < fixed) {
            diagnostics_.warn(line(),
                              "S%u record counts %u bytes, fewer than its address and "
                              "checksum take; skipped",
                              type_, count);
            return false;
        }
        std::uint8_t bytes[255];
        std::size_t read = 0;
        std::uint32_t value = 0;
        while (read < count - fixed && fields.takeByte(value)) {
            bytes[read++] = static_cast<std::uint8_t>(value);
        }
        if (type_ >= 1 && type_ <= 3) {
            sawData_ = true;
            ++dataRecords_;
            store_.store(address, bytes, read);
        }
        // The checksum is the ones' complement of the sum of the other bytes.
        const std::uint32_t expected = 0xFFU - fields.sum();
        std::uint32_t checksum = 0;
        if (read < count - fixed || !fields.take(1, checksum)) {
            recordCutShort(fields.stopCharacter());
            return false;
        }
        if (checksum != expected) {
            diagnostics_.warn(line(), "checksum is 0x%02x, expected 0x%02x; %s", checksum, expected,
                              type_ >= 1 && type_ <= 3 ? "the record is applied" : "it is read");
        }
        finishRecord(address);
        return true;
    }

    // What a complete record of a type without data means.
    void finishRecord(std::uint32_t value) {
        if ((type_ == 5 || type_ == 6) && value != dataRecords_) {
            diagnostics_.warn(line(), "S%u record counts %u data records, but %u stand before it",
                              type_, value, dataRecords_);
        }
        if (type_ >= 7) {
            sawEnd_ = true;
        }
    }

    unsigned type_ = 0;
    std::uint32_t dataRecords_ = 0;
};

}  // namespace

void readSRecords(ByteSource& source, ImageStore& store, Diagnostics& diagnostics) {
    SRecordReader(source, store, diagnostics).run();
}

}  // namespace kr570
