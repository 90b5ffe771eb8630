
#include "formats/record_reader.hpp"
#include "formats/srecord.hpp"
#include "io/text_output.hpp"

namespace kr570 {

void writeSRecords(std::FILE* output, const EepromImage& image,
                   const std::vector<std::uint8_t>& given) {
    forEachRecord(given, [&](unsigned address, unsigned length) {
        // The count covers the two address bytes, the data and the checksum.
        const unsigned counted = length + 3;
        printText(output, "S1%02X%04X", counted, address);
        unsigned sum = counted + (address >> 8) + (address & 0xFFU);
        for (unsigned i = 0; i < length; ++i) {
            const unsigned value = image.getByte(address + i);
            printText(output, "%02X", value);
            sum += value;
        }
        // The checksum is the ones' complement of the sum of the other bytes.
        printText(output, "%02X\n", 0xFFU - (sum & 0xFFU));
    });
    putText("S9030000FC\n", output);
}

}  // namespace kr570
