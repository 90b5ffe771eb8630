#include "raw/binary.hpp"

#include <cstdint>

#include "io/text_output.hpp"

namespace kr570 {

void readBinary(ByteSource& source, ImageStore& store) {
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

void writeBinary(std::FILE* output, const EepromImage& image, int count) {
    putBytes(image.data(), static_cast<std::size_t>(count), output);
}

}  // namespace kr570
