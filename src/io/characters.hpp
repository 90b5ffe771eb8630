// Character classes shared by every reader of text: the configuration text parser, the Intel
// HEX scanner and the console.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kr570 {

namespace detail {
constexpr std::array<bool, 256> makeWhitespaceTable() {
    std::array<bool, 256> table{};
    for (const char c : {' ', '\t', '\n', '\v', '\f', '\r'}) {
        table[static_cast<unsigned char>(c)] = true;
    }
    return table;
}
inline constexpr std::array<bool, 256> kWhitespaceTable = makeWhitespaceTable();
}  // namespace detail

// Whitespace of words and file names: blank, tab, line feed, vertical tab, form feed, return.
// By table: the scanners of words and numbers ask it for every character of a text.
inline bool isWhitespaceByte(unsigned char c) {
    return detail::kWhitespaceTable[c];
}

// The same for a byte or -1 (the end of the stream, which is no whitespace).
inline bool isWhitespace(int c) {
    return c >= 0 && c <= 0xFF && isWhitespaceByte(static_cast<unsigned char>(c));
}

inline constexpr std::uint8_t kNotHexDigit = 0xFF;

namespace detail {
constexpr std::array<std::uint8_t, 256> makeHexDigitTable() {
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table) {
        entry = kNotHexDigit;
    }
    for (std::size_t c = '0'; c <= '9'; ++c) {
        table[c] = static_cast<std::uint8_t>(c - '0');
    }
    for (std::size_t c = 'a'; c <= 'f'; ++c) {
        table[c] = static_cast<std::uint8_t>(c - 'a' + 10);
        table[c - 'a' + 'A'] = static_cast<std::uint8_t>(c - 'a' + 10);
    }
    return table;
}
inline constexpr std::array<std::uint8_t, 256> kHexDigitTable = makeHexDigitTable();
}  // namespace detail

// The value of a hexadecimal digit of either case, or kNotHexDigit; `c` is a byte or -1 (the
// end of the stream). A table lookup, because the HEX scanner asks for every character.
inline std::uint8_t hexDigitValue(int c) {
    return (c < 0 || c > 0xFF) ? kNotHexDigit : detail::kHexDigitTable[static_cast<unsigned>(c)];
}

}  // namespace kr570
