#include "hex/hex_writer.hpp"

#include <algorithm>

namespace kr570 {

namespace {

constexpr int kRecordBytes = 16;
constexpr char kDigits[] = "0123456789abcdef";

char* putHexByte(char* out, unsigned value) {
    *out++ = kDigits[(value >> 4) & 0xFU];
    *out++ = kDigits[value & 0xFU];
    return out;
}

}  // namespace

void writeHex(std::FILE* output, const EepromImage& image, int count) {
    // ":" count(2) address(4) type(2) data(2 per byte) checksum(2) line end
    char line[1 + 2 + 4 + 2 + 2 * kRecordBytes + 2 + 1];
    for (int offset = 0; offset < count; offset += kRecordBytes) {
        const int length = std::min(kRecordBytes, count - offset);
        const auto address = static_cast<unsigned>(offset);
        char* out = line;
        *out++ = ':';
        out = putHexByte(out, static_cast<unsigned>(length));
        out = putHexByte(out, address >> 8);
        out = putHexByte(out, address & 0xFFU);
        out = putHexByte(out, 0);  // data record
        unsigned sum = static_cast<unsigned>(length) + (address >> 8) + (address & 0xFFU);
        for (int i = 0; i < length; ++i) {
            const unsigned value = image.getByte(static_cast<std::size_t>(offset + i));
            out = putHexByte(out, value);
            sum += value;
        }
        out = putHexByte(out, (0x100U - (sum & 0xFFU)) & 0xFFU);
        *out++ = '\n';
        std::fwrite(line, 1, static_cast<std::size_t>(out - line), output);
    }
    std::fputs(":00000001FF\n", output);
}

}  // namespace kr570
