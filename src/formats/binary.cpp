#include "formats/binary.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "eeprom/config_block.hpp"
#include "io/characters.hpp"
#include "io/text_output.hpp"

namespace kr570 {

void readBinary(ByteSource& source, ImageStore& store, Diagnostics& /*diagnostics*/) {
    std::uint64_t address = 0;
    while (source.ensure(ByteSource::kMaxWindow) > 0) {
        const auto count = static_cast<std::size_t>(source.limit() - source.cursor());
        // The part that reaches past the image is reported once; whatever follows is skipped.
        if (address <= EepromImage::kSize) {
            store.store(static_cast<std::uint32_t>(address), source.cursor(), count);
        }
        address += count;
        source.advance(count);
    }
    store.finish();
}

void writeBinary(std::FILE* output, const EepromImage& image,
                 const std::vector<std::uint8_t>& given) {
    std::size_t end = given.size();
    while (end > 0 && given[end - 1] == 0) {
        --end;
    }
    for (std::size_t address = 0; address < end; ++address) {
        // A gap reads as an erased EEPROM does.
        const std::uint8_t byte = given[address] != 0 ? image.getByte(address) : 0xFF;
        putBytes(&byte, 1, output);
    }
}

bool looksLikeBinary(const FileStart& start) {
    const auto size = static_cast<std::size_t>(start.limit - start.begin);
    const std::size_t signature = sizeof block::kSignatureBytes;
    if (size >= signature && std::memcmp(start.begin, block::kSignatureBytes, signature) == 0) {
        return true;
    }
    const std::size_t blockBytes = std::min(size, block::kLength);
    if (blockBytes > 0 && std::all_of(start.begin, start.begin + blockBytes,
                                      [](unsigned char c) { return c == 0xFF; })) {
        return true;  // an erased EEPROM
    }
    // Bytes that no text holds: NUL and the control characters that are no whitespace (a
    // Ctrl-Z may end a text from DOS).
    return std::any_of(start.begin, start.limit, [](unsigned char c) {
        return (c < 0x20 && !isWhitespace(c) && c != 0x1A) || c == 0x7F;
    });
}

}  // namespace kr570
