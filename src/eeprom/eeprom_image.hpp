// A working copy of the controller's EEPROM: offsets are EEPROM addresses, multi-byte values
// are little-endian as the controller stores them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kr570 {

// The little-endian 16-bit word and IEEE 754 single-precision value that start at `bytes`, as
// the controller stores them; for the image and for copies of its configuration block.
std::uint16_t wordFrom(const std::uint8_t* bytes);
float floatFrom(const std::uint8_t* bytes);

class EepromImage {
  public:
    static constexpr std::size_t kSize = 50000;

    // Sets every byte to the low 8 bits of `value`.
    void fillImage(int value) { bytes_.fill(static_cast<std::uint8_t>(value)); }

    // Callers keep every byte of a value below kSize.
    void putByte(std::size_t offset, unsigned value) {
        bytes_[offset] = static_cast<std::uint8_t>(value);
    }
    std::uint8_t getByte(std::size_t offset) const { return bytes_[offset]; }

    void putWord(std::size_t offset, unsigned value);  // stores the low 16 bits
    std::uint16_t getWord(std::size_t offset) const;

    void putFloat(std::size_t offset, float value);  // stores the IEEE 754 bit pattern
    float getFloat(std::size_t offset) const;

    const std::uint8_t* data() const { return bytes_.data(); }

  private:
    std::array<std::uint8_t, kSize> bytes_{};
};

}  // namespace kr570
