#include "config/settings.hpp"

#include <cstdint>

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

}  // namespace kr570
