#include "text/number_reader.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kr570 {

namespace {

// Enough characters of a number to show it in a message.
constexpr std::size_t kTextKept = 40;

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

// Consumes one character into the number's text.
template <typename T>
void take(ByteSource& input, NumberValue<T>& number) {
    const int c = input.get();
    if (number.text.size() < kTextKept) {
        number.text.push_back(static_cast<char>(c));
    }
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
        if (digits_.empty() && digit == '0') {
            if (afterPoint) {
                --exponent_;
            }
            return;
        }
        if (digits_.size() < kKept) {
            digits_.push_back(static_cast<char>(digit));
            if (afterPoint) {
                --exponent_;
            }
        } else {
            sticky_ = sticky_ || digit != '0';
            if (!afterPoint) {
                ++exponent_;
            }
        }
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
    input.consumeWhile(isWhitespace);
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
    if (sign == 1) {
        take(input, number);
    }
    // The magnitude saturates just past the largest one a signed 32-bit value can take.
    constexpr std::uint64_t kLimit = 2147483648ULL;
    std::uint64_t magnitude = 0;
    while (isDigit(input.peek())) {
        magnitude =
            std::min(magnitude * 10 + static_cast<unsigned>(input.peek() - '0'), kLimit + 1);
        take(input, number);
    }
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
    for (std::size_t i = 0; i < prefix; ++i) {
        take(input, number);
    }
    constexpr std::uint64_t kLimit = 0xFFFFFFFFULL;
    std::uint64_t magnitude = 0;
    while (hexDigitValue(input.peek()) != kNotHexDigit) {
        magnitude = std::min(magnitude * 16 + static_cast<unsigned>(hexDigitValue(input.peek())),
                             kLimit + 1);
        take(input, number);
    }
    number.inRange = magnitude <= kLimit;
    if (number.inRange) {
        number.value = static_cast<std::uint32_t>(negative ? (0 - magnitude) : magnitude);
    }
    return number;
}

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
    if (sign == 1) {
        take(input, number);
    }
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
    const int e = input.peek();
    if (e == 'e' || e == 'E') {
        const std::size_t exponentSign = (input.peek(1) == '+' || input.peek(1) == '-') ? 1 : 0;
        if (isDigit(input.peek(1 + exponentSign))) {
            take(input, number);
            const bool negativeExponent = exponentSign == 1 && input.peek() == '-';
            if (exponentSign == 1) {
                take(input, number);
            }
            // Exponents this large already give infinity or zero; stop counting there.
            constexpr long long kExponentLimit = 1000000000LL;
            long long exponent = 0;
            while (isDigit(input.peek())) {
                exponent = std::min(exponent * 10 + (input.peek() - '0'), kExponentLimit);
                take(input, number);
            }
            digits.addExponent(negativeExponent ? -exponent : exponent);
        }
    }
    number.value = digits.toFloat(negative);
    number.inRange = !std::isinf(number.value);
    return number;
}

}  // namespace kr570
