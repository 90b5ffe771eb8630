
#include "formats/intel_hex.hpp"
#include "formats/record_reader.hpp"
#include "io/text_output.hpp"

namespace kr570 {

void writeHex(std::FILE* output, const EepromImage& image, const std::vector<std::uint8_t>& given) {
    forEachRecord(given, [&](unsigned address, unsigned length) {
        printText(output, ":%02x%04x00", length, address);
        unsigned sum = length + (address >> 8) + (address & 0xFFU);
        for (unsigned i = 0; i < length; ++i) {
            const unsigned value = image.getByte(address + i);
            printText(output, "%02x", value);
            sum += value;
        }
        // The checksum makes the sum of every byte of the record 0 modulo 256.
        printText(output, "%02x\n", (0x100U - (sum & 0xFFU)) & 0xFFU);
    });
    putText(":00000001FF\n", output);
}

}  // namespace kr570
