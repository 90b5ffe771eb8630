#include "eeprom/eeprom_image.hpp"

#include <cstring>

namespace kr570 {

std::uint16_t wordFrom(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

float floatFrom(const std::uint8_t* bytes) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        bits |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    }
    float value = 0.0F;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void EepromImage::putWord(std::size_t offset, unsigned value) {
    putByte(offset, value & 0xFFU);
    putByte(offset + 1, (value >> 8) & 0xFFU);
}

std::uint16_t EepromImage::getWord(std::size_t offset) const {
    return wordFrom(bytes_.data() + offset);
}

void EepromImage::putFloat(std::size_t offset, float value) {
    static_assert(sizeof(float) == 4, "the block stores IEEE 754 single precision");
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (std::size_t i = 0; i < 4; ++i) {
        putByte(offset + i, (bits >> (8 * i)) & 0xFFU);
    }
}

float EepromImage::getFloat(std::size_t offset) const {
    return floatFrom(bytes_.data() + offset);
}

}  // namespace kr570
