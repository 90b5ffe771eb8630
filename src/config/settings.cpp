#include "config/settings.hpp"

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

const Setting* findSetting(const char* word, std::size_t length) {
    // Every word of a configuration text passes here: compare lengths before characters.
    for (const Setting& setting : kSettings) {
        if (length == setting.keywordLength &&
            std::memcmp(word, setting.keyword, setting.keywordLength) == 0) {
            return &setting;
        }
    }
    return nullptr;
}

const Setting* findSetting(const std::string& keyword) {
    return findSetting(keyword.data(), keyword.size());
}

std::size_t blockWidth(ValueKind kind) {
    switch (kind) {
        case ValueKind::Float:
            return 4;
        case ValueKind::Time:
            return 2;
        case ValueKind::Byte:
        case ValueKind::Address:
        case ValueKind::Switch:
        case ValueKind::Code:
            break;
    }
    return 1;
}

}  // namespace kr570
