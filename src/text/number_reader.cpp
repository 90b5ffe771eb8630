#include "text/number_reader.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "io/characters.hpp"

namespace kr570 {

namespace {

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

// Consumes one character into the number's text.
template <typename T>
void take(ByteSource& input, NumberValue<T>& number) {
    const int c = input.get();
    if (number.keptLength < kNumberTextKept) {
        number.kept[number.keptLength++] = static_cast<char>(c);
    }
}

// Consumes `count` characters into the number's text.
template <typename T>
void takeSome(ByteSource& input, NumberValue<T>& number, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        take(input, number);
    }
}

// Consumes the digits of base 10 or 16 at the cursor into the number's text; their value, which
// saturates just past `limit`.
template <typename T>
std::uint64_t takeDigits(ByteSource& input, NumberValue<T>& number, unsigned base,
                         std::uint64_t limit) {
    std::uint64_t magnitude = 0;
    for (unsigned digit = hexDigitValue(input.peek()); digit < base;
         digit = hexDigitValue(input.peek())) {
        magnitude = std::min(magnitude * base + digit, limit + 1);
        take(input, number);
    }
    return magnitude;
}

// Where an optional sign ends: the look-ahead offset of the first character after it.
std::size_t signLength(ByteSource& input) {
    const int c = input.peek();
    return (c == '+' || c == '-') ? 1 : 0;
}

// The significant digits of a decimal number, kept to a bounded length. Digits beyond the
// kept ones only matter as "some non-zero digit was dropped", which one extra digit keeps
// exactly enough of for correct rounding to single precision.
class DecimalDigits {
  public:
    void add(int digit, bool afterPoint) {
        // Leading zeros are not kept, but shift the value like kept digits.
        const bool kept = digits_.size() < kKept;
        if (kept && !(digits_.empty() && digit == '0')) {
            digits_.push_back(static_cast<char>(digit));
        }
        sticky_ = sticky_ || (!kept && digit != '0');
        // A kept digit after the point moves the value down; a dropped one before it, up.
        exponent_ += kept ? (afterPoint ? -1 : 0) : (afterPoint ? 0 : 1);
    }

    void addExponent(long long exponent) { exponent_ += exponent; }

    float toFloat(bool negative) const {
        if (digits_.empty()) {
            return negative ? -0.0F : 0.0F;
        }
        std::string text = negative ? "-" : "";
        text += digits_;
        long long exponent = exponent_;
        if (sticky_) {
            text += '1';
            --exponent;
        }
        text += 'e' + std::to_string(exponent);
        return std::strtof(text.c_str(), nullptr);
    }

  private:
    // Far more digits than any single-precision rounding decision depends on.
    static constexpr std::size_t kKept = 200;
    std::string digits_;
    long long exponent_ = 0;  // value = digits_ * 10^exponent_
    bool sticky_ = false;
};

}  // namespace

void skipSpace(ByteSource& input) {
    while (isWhitespace(input.peek())) {
        input.advance(1);
    }
}

NumberValue<std::int32_t> readDecimal(ByteSource& input) {
    NumberValue<std::int32_t> number;
    skipSpace(input);
    const std::size_t sign = signLength(input);
    if (!isDigit(input.peek(sign))) {
        return number;
    }
    number.found = true;
    const bool negative = sign == 1 && input.peek() == '-';
    takeSome(input, number, sign);
    constexpr std::uint64_t kLimit = 2147483648ULL;  // the magnitude of the smallest int32
    const std::uint64_t magnitude = takeDigits(input, number, 10, kLimit);
    number.inRange = negative ? magnitude <= kLimit : magnitude < kLimit;
    if (number.inRange) {
        const auto wide = static_cast<std::int64_t>(magnitude);
        number.value = static_cast<std::int32_t>(negative ? -wide : wide);
    }
    return number;
}

NumberValue<std::uint32_t> readHexNumber(ByteSource& input) {
    NumberValue<std::uint32_t> number;
    skipSpace(input);
    std::size_t prefix = signLength(input);
    if (input.peek(prefix) == '0' &&
        (input.peek(prefix + 1) == 'x' || input.peek(prefix + 1) == 'X') &&
        hexDigitValue(input.peek(prefix + 2)) != kNotHexDigit) {
        prefix += 2;
    } else if (hexDigitValue(input.peek(prefix)) == kNotHexDigit) {
        return number;
    }
    number.found = true;
    const bool negative = input.peek() == '-';
    takeSome(input, number, prefix);
    constexpr std::uint64_t kLimit = 0xFFFFFFFFULL;
    const std::uint64_t magnitude = takeDigits(input, number, 16, kLimit);
    number.inRange = magnitude <= kLimit;
    if (number.inRange) {
        number.value = static_cast<std::uint32_t>(negative ? (0 - magnitude) : magnitude);
    }
    return number;
}

namespace {

// The exponent after a float's digits (e or E, an optional sign, digits), consumed into the
// number's text; 0 when no exponent follows, and then nothing is consumed.
long long readExponent(ByteSource& input, NumberValue<float>& number) {
    const int e = input.peek();
    if (e != 'e' && e != 'E') {
        return 0;
    }
    const std::size_t exponentSign = (input.peek(1) == '+' || input.peek(1) == '-') ? 1 : 0;
    if (!isDigit(input.peek(1 + exponentSign))) {
        return 0;
    }
    take(input, number);
    const bool negativeExponent = exponentSign == 1 && input.peek() == '-';
    takeSome(input, number, exponentSign);
    // Exponents this large already give infinity or zero; stop counting there.
    const auto exponent = static_cast<long long>(takeDigits(input, number, 10, 1000000000ULL));
    return negativeExponent ? -exponent : exponent;
}

}  // namespace

NumberValue<float> readFloat(ByteSource& input) {
    NumberValue<float> number;
    skipSpace(input);
    const std::size_t sign = signLength(input);
    const int first = input.peek(sign);
    if (!isDigit(first) && !(first == '.' && isDigit(input.peek(sign + 1)))) {
        return number;
    }
    number.found = true;
    const bool negative = sign == 1 && input.peek() == '-';
    takeSome(input, number, sign);
    DecimalDigits digits;
    while (isDigit(input.peek())) {
        digits.add(input.peek(), false);
        take(input, number);
    }
    if (input.peek() == '.') {
        take(input, number);
        while (isDigit(input.peek())) {
            digits.add(input.peek(), true);
            take(input, number);
        }
    }
    digits.addExponent(readExponent(input, number));
    number.value = digits.toFloat(negative);
    number.inRange = !std::isinf(number.value);
    return number;
}

}  // namespace kr570
