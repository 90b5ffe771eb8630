#include "config/settings.hpp"

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace kr570 {

const char* ValueWords::wordFor(std::uint8_t stored) const {
    for (const ValueWord& word : *this) {
        if (word.stored == stored) {
            return word.word;
        }
    }
    return nullptr;
}

namespace {

// Every word of a configuration text is looked up, so the keywords sit in a small open
// hash table keyed by a word's length and its first and last characters: most words that are
// no keyword stop at an empty slot, and a keyword is compared with one candidate or two.
constexpr std::size_t kSlots = 64;

constexpr std::size_t slotOf(std::size_t length, unsigned char first, unsigned char last) {
    return (length * 7 + first * 3U + last) % kSlots;
}

// Each slot holds 1 + the index of a setting in kSettings, or 0 when it is empty; a keyword
// whose slot is taken goes to the next free one.
constexpr std::array<std::uint8_t, kSlots> makeSlots() {
    std::array<std::uint8_t, kSlots> slots{};
    for (std::size_t i = 0; i < std::size(kSettings); ++i) {
        const Setting& setting = kSettings[i];
        std::size_t slot =
            slotOf(setting.keywordLength, static_cast<unsigned char>(setting.keyword[0]),
                   static_cast<unsigned char>(setting.keyword[setting.keywordLength - 1]));
        while (slots[slot] != 0) {
            slot = (slot + 1) % kSlots;
        }
        slots[slot] = static_cast<std::uint8_t>(i + 1);
    }
    return slots;
}

constexpr std::array<std::uint8_t, kSlots> kKeywordSlots = makeSlots();

constexpr std::size_t longestKeyword() {
    std::size_t longest = 0;
    for (const Setting& setting : kSettings) {
        longest = setting.keywordLength > longest ? setting.keywordLength : longest;
    }
    return longest;
}

template <typename Chunk>
Chunk chunkAt(const char* p) {
    Chunk chunk;
    std::memcpy(&chunk, p, sizeof chunk);
    return chunk;
}

// Whether the `n` bytes at a and b are the same, in a few word-wide loads (the last one
// overlapping the one before): a call of memcmp per keyword looked up costs more than the
// comparison.
bool sameBytes(const char* a, const char* b, std::size_t n) {
    if (n >= 8) {
        for (std::size_t i = 0; i + 8 < n; i += 8) {
            if (chunkAt<std::uint64_t>(a + i) != chunkAt<std::uint64_t>(b + i)) {
                return false;
            }
        }
        return chunkAt<std::uint64_t>(a + n - 8) == chunkAt<std::uint64_t>(b + n - 8);
    }
    if (n >= 4) {
        return chunkAt<std::uint32_t>(a) == chunkAt<std::uint32_t>(b) &&
               chunkAt<std::uint32_t>(a + n - 4) == chunkAt<std::uint32_t>(b + n - 4);
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

const Setting* findSetting(const char* word, std::size_t length) {
    // A caller may keep only the start of a long word: such a word is no keyword, and its
    // last character is not at hand.
    if (length == 0 || length > longestKeyword()) {
        return nullptr;
    }
    for (std::size_t slot = slotOf(length, static_cast<unsigned char>(word[0]),
                                   static_cast<unsigned char>(word[length - 1]));
         kKeywordSlots[slot] != 0; slot = (slot + 1) % kSlots) {
        const Setting& setting = kSettings[kKeywordSlots[slot] - 1];
        if (length == setting.keywordLength && sameBytes(word, setting.keyword, length)) {
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
