// Puts the data of an image file (Intel HEX and the other forms a device read-back comes in)
// into the EepromImage, and reports what a strict reader would refuse: data outside the image,
// and a byte that the file gives two different values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "eeprom/eeprom_image.hpp"
#include "io/byte_source.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

class ImageStore {
  public:
    // Clears the image: every byte the file does not give reads 0. Warnings name the line the
    // `source` is on when they arise; a `source` of nullptr names no line.
    ImageStore(EepromImage& image, Diagnostics& diagnostics, ByteSource* source);

    // Stores `count` bytes from address `start` on (one record's data), each where the Intel
    // HEX standard puts it: at start + i modulo 2^32, kept when that lies inside the image.
    void store(std::uint32_t start, const std::uint8_t* bytes, std::size_t count);

    // Whether the file gave the byte at `address`.
    bool gives(std::size_t address) const { return given_[address] != 0; }
    const std::vector<std::uint8_t>& givenAddresses() const { return given_; }

    // How many bytes of the configuration block the file gave.
    std::size_t blockBytesGiven() const;

    // Whether each byte of the block that the file gave is 0xff, as an erased EEPROM reads.
    bool blockErased() const;

    // How many bytes of the image the file gave, and the lowest and highest of their addresses.
    struct Extent {
        std::size_t count = 0;
        std::size_t lowest = 0;
        std::size_t highest = 0;
    };
    Extent given() const;

    // Reports how many more records than the first put data outside the image or over earlier
    // data; the first of each was reported where it stood.
    void finish();

  private:
    long line() const { return source_ != nullptr ? source_->line() : 0; }
    void storeInside(std::uint32_t start, const std::uint8_t* bytes, std::size_t count);
    void outsideImage(std::uint32_t firstDropped);

    EepromImage& image_;
    Diagnostics& diagnostics_;
    ByteSource* source_;
    std::vector<std::uint8_t> given_;  // 1 for each byte that the file has given
    long outsideRecords_ = 0;
    long overwritingRecords_ = 0;
};

}  // namespace kr570
