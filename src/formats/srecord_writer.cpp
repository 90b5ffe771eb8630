#include <algorithm>

#include "formats/srecord.hpp"
#include "io/text_output.hpp"

namespace kr570 {

namespace {
constexpr int kRecordBytes = 16;
}  // namespace

void writeSRecords(std::FILE* output, const EepromImage& image, int count) {
    for (int offset = 0; offset < count; offset += kRecordBytes) {
        const int length = std::min(kRecordBytes, count - offset);
        const auto address = static_cast<unsigned>(offset);
        // The count covers the two address bytes, the data and the checksum.
        const auto counted = static_cast<unsigned>(length + 3);
        printText(output, "S1%02X%04X", counted, address);
        unsigned sum = counted + (address >> 8) + (address & 0xFFU);
        for (unsigned i = 0; i < static_cast<unsigned>(length); ++i) {
            const unsigned value = image.getByte(address + i);
            printText(output, "%02X", value);
            sum += value;
        }
        // The checksum is the ones' complement of the sum of the other bytes.
        printText(output, "%02X\n", 0xFFU - (sum & 0xFFU));
    }
    putText("S9030000FC\n", output);
}

}  // namespace kr570
