// Reading the numeric values of configuration text: the longest prefix of the text that forms
// a number is taken, and everything after it stays in the stream.
#pragma once

#include <cstdint>
#include <string>

#include "io/byte_source.hpp"
#include "io/characters.hpp"

namespace kr570 {

// Discards whitespace up to the next other character or the end of the stream. Inline: it runs
// before every word and every number of a text, and mostly skips one blank or one line end.
inline void skipSpace(ByteSource& input) {
    const unsigned char* p = input.cursor();
    while (p < input.limit() && isWhitespaceByte(*p)) {
        ++p;
    }
    input.advance(static_cast<std::size_t>(p - input.cursor()));
    if (p == input.limit()) {
        input.consumeWhile([](unsigned char c) { return isWhitespaceByte(c); });
    }
}

template <typename T>
struct NumberValue {
    bool found = false;    // the text began with a number (its characters were consumed)
    bool inRange = false;  // and the number fits the value's type
    T value{};
    std::string text;  // the number as written, cut short when very long
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
