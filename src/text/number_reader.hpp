// Reading the numeric values of configuration text: the longest prefix of the text that forms
// a number is taken, and everything after it stays in the stream.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "io/byte_source.hpp"
#include "io/diagnostics.hpp"

namespace kr570 {

// Discards whitespace up to the next other character or the end of the stream.
void skipSpace(ByteSource& input);

// Enough characters of a number to show it in a message, and to show that it went on.
inline constexpr std::size_t kNumberTextKept = kQuotedLongest + 1;

template <typename T>
struct NumberValue {
    bool found = false;    // the text began with a number (its characters were consumed)
    bool inRange = false;  // and the number fits the value's type
    T value{};
    // The number as written, cut short when very long.
    std::array<char, kNumberTextKept> kept;
    std::size_t keptLength = 0;

    std::string text() const { return std::string(kept.data(), keptLength); }
};

// Optional sign and decimal digits, as a signed 32-bit value.
NumberValue<std::int32_t> readDecimal(ByteSource& input);

// Optional sign, optional 0x or 0X, hexadecimal digits of either case, as an unsigned 32-bit
// value (a minus sign negates it modulo 2^32).
NumberValue<std::uint32_t> readHexNumber(ByteSource& input);

// Optional sign, digits with an optional decimal point, optional exponent; the nearest
// single-precision value. Out of range means it overflowed to infinity.
NumberValue<float> readFloat(ByteSource& input);

}  // namespace kr570
