// The settings of the configuration text, each described once: its keyword, where the block
// keeps it, how its value is written, the record field it sets and its factory value. The
// parser, the block codecs, the defaults and the comparison of two configurations all walk
// this one table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/config_record.hpp"

namespace kr570 {

// How a setting's value is written in the text and kept in the record and the block.
enum class ValueKind {
    Float,    // a decimal number, kept in single precision; 4 bytes
    Byte,     // a decimal integer of which the low 8 bits are kept; 1 byte
    Time,     // a decimal integer of milliseconds, whole in the record; the block keeps 16 bits
    Address,  // a hexadecimal integer of which the low 8 bits are kept; 1 byte
    Switch,   // on (1) only for its first value word, off (0) for any other word; 1 byte
    Code,     // a letter chosen by one of its value words; any other word keeps it; 1 byte
};

// A word of the text and what it stores: a switch's 1 or 0, or a code's letter.
struct ValueWord {
    const char* word;
    std::uint8_t stored;
};

// The words a switch or a code accepts, in the order they are listed to the user.
struct ValueWords {
    std::array<ValueWord, 3> list{};
    std::size_t count = 0;

    const ValueWord* begin() const { return list.data(); }
    const ValueWord* end() const { return list.data() + count; }
    // The word that stores `stored`, or nullptr when none does.
    const char* wordFor(std::uint8_t stored) const;
};

inline constexpr ValueWords kYesNo{{{{"yes", 1}, {"no", 0}}}, 2};
inline constexpr ValueWords kOnOff{{{{"on", 1}, {"off", 0}}}, 2};

// Where a setting lives in the record: one field, whose type its kind gives (a float for
// Float, a 32-bit integer for Time, a byte for every other kind).
union SettingField {
    constexpr explicit SettingField(float ConfigRecord::*field) : real(field) {}
    constexpr explicit SettingField(std::uint8_t ConfigRecord::*field) : byte(field) {}
    constexpr explicit SettingField(std::int32_t ConfigRecord::*field) : time(field) {}

    float ConfigRecord::*real;
    std::uint8_t ConfigRecord::*byte;  // bytes, the address, switches and codes
    std::int32_t ConfigRecord::*time;
};

struct Setting {
    const char* keyword;  // also the name of the record field it sets
    std::size_t offset;   // in the configuration block
    ValueKind kind;
    SettingField field;
    ValueWords words;  // switches and codes
    bool hasFactoryValue;
    double factoryValue;

    float& floatIn(ConfigRecord& record) const { return record.*field.real; }
    float floatIn(const ConfigRecord& record) const { return record.*field.real; }
    std::uint8_t& byteIn(ConfigRecord& record) const { return record.*field.byte; }
    std::uint8_t byteIn(const ConfigRecord& record) const { return record.*field.byte; }
    std::int32_t& timeIn(ConfigRecord& record) const { return record.*field.time; }
    std::int32_t timeIn(const ConfigRecord& record) const { return record.*field.time; }
};

namespace setting_table {

constexpr Setting floatSetting(const char* keyword, std::size_t offset, float ConfigRecord::*field,
                               double factory) {
    return {keyword, offset, ValueKind::Float, SettingField(field), {}, true, factory};
}

constexpr Setting byteSetting(const char* keyword, std::size_t offset, ValueKind kind,
                              std::uint8_t ConfigRecord::*field, double factory,
                              ValueWords words = {}) {
    return {keyword, offset, kind, SettingField(field), words, true, factory};
}

constexpr Setting timeSetting(const char* keyword, std::size_t offset,
                              std::int32_t ConfigRecord::*field, double factory) {
    return {keyword, offset, ValueKind::Time, SettingField(field), {}, true, factory};
}

// A setting the factory leaves as it finds it.
constexpr Setting withoutFactoryValue(Setting setting) {
    setting.hasFactoryValue = false;
    return setting;
}

using R = ConfigRecord;
using K = ValueKind;

// In the order of the block.
inline constexpr Setting kSettings[] = {
    byteSetting("i2cmode", 33, K::Switch, &R::i2cmode, 1, kOnOff),
    byteSetting("TWI_slaveAddress", 34, K::Address, &R::TWI_slaveAddress, 0x23),
    withoutFactoryValue(
        byteSetting("followmotorparameters", 35, K::Switch, &R::followmotorparameters, 0, kYesNo)),
    floatSetting("resistance", 36, &R::resistance, 1.5),
    floatSetting("inductance", 40, &R::inductance, 1.7),
    floatSetting("current", 44, &R::current, 2.5),
    floatSetting("drive_voltage", 48, &R::drive_voltage, 24.0),
    byteSetting("followpots", 52, K::Switch, &R::followpots, 1, kYesNo),
    byteSetting("ontime", 53, K::Byte, &R::ontime, 128),
    byteSetting("dutycycle", 54, K::Byte, &R::dutycycle, 128),
    byteSetting("slewrate", 55, K::Byte, &R::slewrate, 0),
    byteSetting("recoverytime", 56, K::Byte, &R::recoverytime, 10),
    byteSetting("followstepheader", 58, K::Switch, &R::followstepheader, 1, kYesNo),
    byteSetting("stepmode", 59, K::Code, &R::stepmode, 'w',
                ValueWords{{{{"wave", 'w'}, {"full", 'f'}, {"half", 'h'}}}, 3}),
    byteSetting("checklimitswitch", 60, K::Switch, &R::checklimitswitch, 0, kYesNo),
    byteSetting("checkestop", 61, K::Switch, &R::checkestop, 0, kYesNo),
    byteSetting("automotorshutoff", 62, K::Switch, &R::automotorshutoff, 1, kYesNo),
    timeSetting("motorshutofftime", 63, &R::motorshutofftime, 8000),
    byteSetting("motorpowerreductionmode", 65, K::Switch, &R::motorpowerreductionmode, 1, kOnOff),
    byteSetting("motorpowerreduction", 66, K::Byte, &R::motorpowerreduction, 50),
    timeSetting("powerreductiontime", 67, &R::powerreductiontime, 4000),
    byteSetting("steppolarity", 69, K::Code, &R::steppolarity, 'p',
                ValueWords{{{{"positive", 'p'}, {"negative", 'n'}}}, 2}),
    byteSetting("dirpolarity", 70, K::Code, &R::dirpolarity, 'c',
                ValueWords{{{{"highcw", 'c'}, {"lowcw", 'w'}}}, 2}),
    byteSetting("followstepdir", 71, K::Switch, &R::followstepdir, 1, kYesNo),
};

}  // namespace setting_table

using setting_table::kSettings;

// The setting whose keyword is exactly `keyword`, or nullptr.
const Setting* findSetting(const std::string& keyword);

// How many bytes of the block a value of that kind takes.
std::size_t blockWidth(ValueKind kind);

// Copies the setting's value from one record to another.
void copySetting(const Setting& setting, const ConfigRecord& from, ConfigRecord& to);

// Whether two records give the setting the same bytes in the block: floats by their bit
// pattern, the times by their low 16 bits.
bool sameStored(const Setting& setting, const ConfigRecord& a, const ConfigRecord& b);

}  // namespace kr570
