#include <algorithm>

#include "formats/intel_hex.hpp"
#include "io/text_output.hpp"

namespace kr570 {

namespace {
constexpr int kRecordBytes = 16;
}  // namespace

void writeHex(std::FILE* output, const EepromImage& image, int count) {
    for (int offset = 0; offset < count; offset += kRecordBytes) {
        const int length = std::min(kRecordBytes, count - offset);
        const auto address = static_cast<unsigned>(offset);
        printText(output, ":%02x%04x00", static_cast<unsigned>(length), address);
        unsigned sum = static_cast<unsigned>(length) + (address >> 8) + (address & 0xFFU);
        for (unsigned i = 0; i < static_cast<unsigned>(length); ++i) {
            const unsigned value = image.getByte(address + i);
            printText(output, "%02x", value);
            sum += value;
        }
        // The checksum makes the sum of every byte of the record 0 modulo 256.
        printText(output, "%02x\n", (0x100U - (sum & 0xFFU)) & 0xFFU);
    }
    putText(":00000001FF\n", output);
}

}  // namespace kr570
