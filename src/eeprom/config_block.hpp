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
inline constexpr std::size_t kI2cmode = 33;
inline constexpr std::size_t kTwiSlaveAddress = 34;
inline constexpr std::size_t kFollowmotorparameters = 35;
inline constexpr std::size_t kResistance = 36;
inline constexpr std::size_t kInductance = 40;
inline constexpr std::size_t kCurrent = 44;
inline constexpr std::size_t kDriveVoltage = 48;
inline constexpr std::size_t kFollowpots = 52;
inline constexpr std::size_t kOntime = 53;
inline constexpr std::size_t kDutycycle = 54;
inline constexpr std::size_t kSlewrate = 55;
inline constexpr std::size_t kRecoverytime = 56;
inline constexpr std::size_t kFixedByte57 = 57;
inline constexpr std::size_t kFollowstepheader = 58;
inline constexpr std::size_t kStepmode = 59;
inline constexpr std::size_t kChecklimitswitch = 60;
inline constexpr std::size_t kCheckestop = 61;
inline constexpr std::size_t kAutomotorshutoff = 62;
inline constexpr std::size_t kMotorshutofftime = 63;  // word
inline constexpr std::size_t kMotorpowerreductionmode = 65;
inline constexpr std::size_t kMotorpowerreduction = 66;
inline constexpr std::size_t kPowerreductiontime = 67;  // word
inline constexpr std::size_t kSteppolarity = 69;
inline constexpr std::size_t kDirpolarity = 70;
inline constexpr std::size_t kFollowstepdir = 71;
inline constexpr std::size_t kLength = 72;

// The five bytes that mark a configuration block.
inline constexpr unsigned char kSignatureBytes[] = {0x85, 0xC2, 0x1E, 0x4F, 0x11};

// Header constants the tool writes into every block it builds.
inline constexpr unsigned kBuiltProductId = 1;
inline constexpr unsigned kBuiltRevisionMajor = 0;
inline constexpr unsigned kBuiltRevisionMinor = 99;
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
