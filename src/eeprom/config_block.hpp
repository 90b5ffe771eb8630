// The 72-byte configuration block at EEPROM address 0: its layout and the conversions
// between the block and the ConfigRecord.
#pragma once

#include <cstddef>

#include "config/config_record.hpp"
#include "eeprom/eeprom_image.hpp"

namespace kr570 {

// Offsets of the block's fields. The layout is the controller's stored format and is fixed.
namespace block {
inline constexpr std::size_t kSignature = 0;  // five bytes
inline constexpr std::size_t kProductId = 5;
inline constexpr std::size_t kRevisionMajor = 6;
inline constexpr std::size_t kRevisionMinor = 7;
inline constexpr std::size_t kNotice = 8;  // 25 bytes
// The settings from offset 33 on lie where the settings table puts them.
inline constexpr std::size_t kFixedByte57 = 57;  // the one byte no keyword reaches
inline constexpr std::size_t kLength = 72;

// The five bytes that mark a configuration block.
inline constexpr unsigned char kSignatureBytes[] = {0x85, 0xC2, 0x1E, 0x4F, 0x11};

}  // namespace block

// Writes the whole block: signature, header constants, the record's notice, then the settings.
void buildBlock(EepromImage& image, const ConfigRecord& record);

// Writes the settings (offsets 33 to 71) from the record; returns the block length, 72.
int packBlock(EepromImage& image, const ConfigRecord& record);

// Reads offsets 5 to 71 into the record, every byte as it stands. The signature is not
// examined: any image unpacks.
void unpackBlock(const EepromImage& image, ConfigRecord& record);

// Whether the image starts with the configuration block signature.
bool hasBlockSignature(const EepromImage& image);

}  // namespace kr570
