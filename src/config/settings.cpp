#include "config/settings.hpp"

#include <cstdint>
#include <cstring>

namespace kr570 {

const char* ValueWords::wordFor(std::uint8_t stored) const {
    for (const ValueWord& word : *this) {
        if (word.stored == stored) {
            return word.word;
        }
    }
    return nullptr;
}

const Setting* findSetting(const std::string& keyword) {
    for (const Setting& setting : kSettings) {
        if (keyword == setting.keyword) {
            return &setting;
        }
    }
    return nullptr;
}

std::size_t blockWidth(ValueKind kind) {
    return kind == ValueKind::Float ? 4 : kind == ValueKind::Time ? 2 : 1;
}

void copySetting(const Setting& setting, const ConfigRecord& from, ConfigRecord& to) {
    switch (setting.kind) {
        case ValueKind::Float:
            setting.floatIn(to) = setting.floatIn(from);
            break;
        case ValueKind::Time:
            setting.timeIn(to) = setting.timeIn(from);
            break;
        default:
            setting.byteIn(to) = setting.byteIn(from);
    }
}

bool sameStored(const Setting& setting, const ConfigRecord& a, const ConfigRecord& b) {
    switch (setting.kind) {
        case ValueKind::Float: {
            static_assert(sizeof(float) == sizeof(std::uint32_t), "a float is 4 bytes");
            const float x = setting.floatIn(a);
            const float y = setting.floatIn(b);
            std::uint32_t xBits = 0;
            std::uint32_t yBits = 0;
            std::memcpy(&xBits, &x, sizeof x);
            std::memcpy(&yBits, &y, sizeof y);
            return xBits == yBits;
        }
        case ValueKind::Time:
            return static_cast<std::uint16_t>(setting.timeIn(a)) ==
                   static_cast<std::uint16_t>(setting.timeIn(b));
        default:
            return setting.byteIn(a) == setting.byteIn(b);
    }
}

}  // namespace kr570
