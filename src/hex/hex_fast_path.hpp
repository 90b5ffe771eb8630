// Decoding of the common, regular data records of an Intel HEX file in wide steps: 16- and
// 32-byte data records with digits of either case, a correct checksum and a line end (LF or
// CR LF) right after it. Anything else is declined and left to the scalar scanner, which
// alone knows the reader's rules for irregular records.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kr570 {

struct DecodedRecord {
    // Byte count, address (two bytes), type, data and checksum as read from the digits,
    // followed by whatever the widest step decoded beyond them (never read).
    std::array<std::uint8_t, 64> fields;

    std::uint32_t count() const { return fields[0]; }
    std::uint32_t address() const {
        return (static_cast<std::uint32_t>(fields[1]) << 8) | fields[2];
    }
    const std::uint8_t* data() const { return fields.data() + 4; }
};

// Regular records that follow one another in the file, each one's ':' standing right after
// the line end of the one before: a data record changes nothing that the next one depends on,
// so they are decoded in a row before any is stored.
struct DecodedRun {
    static constexpr std::size_t kCapacity = 32;
    std::size_t records = 0;  // how many of `record` hold a record
    // Characters from the first record's fields to the last one's line end, which each record
    // holds one of: the ':' of every record but the first lies within.
    std::size_t length = 0;
    std::array<DecodedRecord, kCapacity> record;
};

// Decodes the records from `fields`, the character just after a ':', up to `end`, the end of
// the characters available. A record is taken only when every digit is a hexadecimal digit,
// its type is data, its count 16 or 32, its checksum right and its line end LF or CR LF; the
// run stops before the first record that is not so, before a record that could reach past
// `end`, and when it is full. `run.records` is 0 when the first record is left to the scalar
// scanner.
using RecordDecoder = void (*)(const unsigned char* fields, const unsigned char* end,
                               DecodedRun& run);

// The decoder for this processor, or nullptr when the scalar scanner is to read every record:
// on a processor without the instructions it needs, or when the environment variable
// KR570_HEX_DECODER is "scalar". "ssse3" there asks for the 16-character decoder where the
// processor also has a wider one, so that the tests can run every path on one machine; any
// other value, or none, picks the widest that the processor has.
RecordDecoder fastRecordDecoder();

namespace detail {
// The decoder this processor supports that comes closest to `wanted` ("ssse3", or anything
// else for the widest); nullptr if none.
RecordDecoder processorRecordDecoder(const char* wanted);
}  // namespace detail

}  // namespace kr570
