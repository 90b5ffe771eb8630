// Character classes shared by every reader of text: the configuration text parser, the Intel
// HEX reader and the console.
#pragma once

#include <array>
#include <cstdint>

namespace kr570 {

// Whitespace of words and file names: blank, tab, line feed, vertical tab, form feed, return.
// `c` is a byte or -1 (the end of the stream, which is no whitespace).
inline bool isWhitespace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline constexpr std::uint8_t kNotHexDigit = 0xFF;

namespace detail {
constexpr std::array<std::uint8_t, 256> makeHexDigitTable() {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c) {
        table[c] = c >= '0' && c <= '9'   ? static_cast<std::uint8_t>(c - '0')
                   : c >= 'a' && c <= 'f' ? static_cast<std::uint8_t>(c - 'a' + 10)
                   : c >= 'A' && c <= 'F' ? static_cast<std::uint8_t>(c - 'A' + 10)
                                          : kNotHexDigit;
    }
    return table;
}
inline constexpr std::array<std::uint8_t, 256> kHexDigitTable = makeHexDigitTable();
}  // namespace detail

// The value of a hexadecimal digit of either case, or kNotHexDigit; `c` is a byte or -1.
inline std::uint8_t hexDigitValue(int c) {
    return c < 0 ? kNotHexDigit : detail::kHexDigitTable[static_cast<unsigned char>(c)];
}

}  // namespace kr570
