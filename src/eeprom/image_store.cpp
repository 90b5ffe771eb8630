#include "eeprom/image_store.hpp"

#include <algorithm>

#include "eeprom/config_block.hpp"

namespace kr570 {

ImageStore::ImageStore(EepromImage& image, Diagnostics& diagnostics, ByteSource* source)
    : image_(image), diagnostics_(diagnostics), source_(source), given_(EepromImage::kSize) {
    image_.fillImage(0);
}

void ImageStore::store(std::uint32_t start, const std::uint8_t* bytes, std::size_t count) {
    if (count == 0) {
        return;  // a record without data puts nothing anywhere
    }
    const std::uint64_t end = std::uint64_t{start} + count;
    constexpr std::uint64_t kWrap = std::uint64_t{1} << 32;
    if (end <= EepromImage::kSize) {
        storeInside(start, bytes, count);
    } else if (start < EepromImage::kSize) {
        // Runs past the end of the image: the part inside is kept.
        storeInside(start, bytes, EepromImage::kSize - start);
        outsideImage(static_cast<std::uint32_t>(EepromImage::kSize));
    } else if (end > kWrap) {
        // Starts beyond the image and wraps at 2^32 to address 0.
        const auto beforeWrap = static_cast<std::size_t>(kWrap - start);
        const std::size_t afterWrap = std::min<std::size_t>(count - beforeWrap, EepromImage::kSize);
        storeInside(0, bytes + beforeWrap, afterWrap);
        outsideImage(start);
    } else {
        outsideImage(start);
    }
}

void ImageStore::storeInside(std::uint32_t start, const std::uint8_t* bytes, std::size_t count) {
    bool overwrote = false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t address = start + i;
        const unsigned before = image_.getByte(address);
        if (given_[address] != 0 && before != bytes[i] && !overwrote) {
            overwrote = true;
            if (overwritingRecords_++ == 0) {
                diagnostics_.warn(line(),
                                  "address 0x%04x is written twice, with 0x%02x and then "
                                  "0x%02x; the later value is kept",
                                  static_cast<unsigned>(address), before,
                                  static_cast<unsigned>(bytes[i]));
            }
        }
        given_[address] = 1;
        image_.putByte(address, bytes[i]);
    }
}

void ImageStore::outsideImage(std::uint32_t firstDropped) {
    if (outsideRecords_++ == 0) {
        diagnostics_.warn(line(),
                          "data at address 0x%04x lies outside the %u-byte EEPROM image and is "
                          "dropped",
                          static_cast<unsigned>(firstDropped),
                          static_cast<unsigned>(EepromImage::kSize));
    }
}

std::size_t ImageStore::blockBytesGiven() const {
    return static_cast<std::size_t>(std::count(given_.begin(), given_.begin() + block::kLength, 1));
}

bool ImageStore::blockErased() const {
    for (std::size_t address = 0; address < block::kLength; ++address) {
        if (given_[address] != 0 && image_.getByte(address) != 0xFF) {
            return false;
        }
    }
    return true;
}

ImageStore::Extent ImageStore::given() const {
    Extent extent;
    for (std::size_t address = 0; address < given_.size(); ++address) {
        if (given_[address] != 0) {
            extent.lowest = extent.count++ == 0 ? address : extent.lowest;
            extent.highest = address;
        }
    }
    return extent;
}

void ImageStore::finish() {
    if (outsideRecords_ > 1) {
        diagnostics_.warn(0, "%ld more records put data outside the EEPROM image",
                          outsideRecords_ - 1);
    }
    if (overwritingRecords_ > 1) {
        diagnostics_.warn(0, "%ld more records write other values over earlier data",
                          overwritingRecords_ - 1);
    }
}

}  // namespace kr570
