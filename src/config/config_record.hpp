// The settings of one KR570 controller, as the configuration text names them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kr570 {

// Length of the copyright notice held in the configuration block.
inline constexpr std::size_t kNoticeLength = 25;

// The notice the tool writes into every block it builds: 24 characters and a NUL.
inline constexpr char kDefaultNotice[] = "Copyright KR570 Controls";

// The header the tool writes into every block it builds: product id 1, software revision 0.99.
inline constexpr std::uint8_t kBuiltProductId = 1;
inline constexpr std::uint8_t kBuiltRevisionMajor = 0;
inline constexpr std::uint8_t kBuiltRevisionMinor = 99;

// The factory value of the one block byte that no keyword reaches.
inline constexpr std::uint8_t kDefaultFixedByte57 = 0xB9;

// Every setting of one controller. A value-initialised record is all zero, which is the
// state before the defaults are loaded. Switch fields hold 0 (off/no) or 1 (on/yes) when they
// come from the text, but any byte when they come from an EEPROM image; code fields hold one
// ASCII letter.
struct ConfigRecord {
    std::uint8_t productId = 0;
    std::uint8_t revisionMajor = 0;
    std::uint8_t revisionMinor = 0;
    std::array<char, kNoticeLength> notice{};  // NUL-terminated only when shorter than 25
    std::uint8_t i2cmode = 0;
    std::uint8_t TWI_slaveAddress = 0;
    std::uint8_t followmotorparameters = 0;
    float resistance = 0.0F;
    float inductance = 0.0F;
    float current = 0.0F;
    float drive_voltage = 0.0F;
    std::uint8_t followpots = 0;
    std::uint8_t ontime = 0;
    std::uint8_t dutycycle = 0;
    std::uint8_t slewrate = 0;
    std::uint8_t recoverytime = 0;
    std::uint8_t fixedByte57 = 0;  // carried by the block, never by the text
    std::uint8_t followstepheader = 0;
    std::uint8_t stepmode = 0;  // 'w' wave, 'f' full, 'h' half
    std::uint8_t checklimitswitch = 0;
    std::uint8_t checkestop = 0;
    std::uint8_t automotorshutoff = 0;
    std::int32_t motorshutofftime = 0;  // milliseconds; the block keeps the low 16 bits
    std::uint8_t motorpowerreductionmode = 0;
    std::uint8_t motorpowerreduction = 0;
    std::int32_t powerreductiontime = 0;  // milliseconds; the block keeps the low 16 bits
    std::uint8_t steppolarity = 0;        // 'p' positive, 'n' negative
    std::uint8_t dirpolarity = 0;         // 'c' high is clockwise, 'w' low is clockwise
    std::uint8_t followstepdir = 0;
};

// Loads the controller's factory settings and the tool's header. `followmotorparameters` has
// no factory setting and keeps whatever it holds.
void setDefaults(ConfigRecord& record);

}  // namespace kr570
