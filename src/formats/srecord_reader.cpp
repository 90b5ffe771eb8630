#include <cstdint>

#include "formats/record_reader.hpp"
#include "formats/srecord.hpp"

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
        const bool data = type_ >= 1 && type_ <= 3;
        const bool complete = scanData(fields, data ? address : 0, count - fixed, data);
        // The checksum is the ones' complement of the sum of the other bytes.
        if (!checkRecord(fields, complete, 0xFFU - fields.sum(),
                         data ? "the record is applied" : "it is read")) {
            return false;
        }
        finishRecord(address);
        return true;
    }

    // Reads the `length` bytes after the address, and stores those it could read when they are
    // data; false if the record ended early.
    // NOLINTNEXTLINE(bugprone-easily-swappable-parameters): address, then length, as in a record
    bool scanData(FieldCursor& fields, std::uint32_t address, std::uint32_t length, bool data) {
        std::uint8_t bytes[255];
        std::size_t read = 0;
        std::uint32_t value = 0;
        while (read < length && fields.takeByte(value)) {
            bytes[read++] = static_cast<std::uint8_t>(value);
        }
        if (data) {
            sawData_ = true;
            ++dataRecords_;
            store_.store(address, bytes, read);
        }
        return read == length;
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

bool looksLikeSRecords(const FileStart& start) {
    // The count's two digits, and two for each byte it counts.
    const StartLine line = firstLine(start);
    return line.end - line.begin >= 2 && line.begin[0] == 'S' && line.begin[1] >= '0' &&
           line.begin[1] <= '9' && isWholeRecord(line, 2, 2, 2);
}

}  // namespace kr570
