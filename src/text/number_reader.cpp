#include "text/number_reader.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

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

// A short, plain number whose end is in sight in the read buffer: an optional sign and at most
// nine digits, with one decimal point among them where a float is read. Nearly every value of a
// configuration text is one, and it is scanned in place; anything else is left, unconsumed, to
// the general reading below.
struct PlainNumber {
    bool found = false;
    bool negative = false;
    std::uint32_t digits = 0;  // the digits' value, the point left out
    int fractionDigits = 0;    // digits after the point
    std::size_t length = 0;    // characters, the sign included
};

PlainNumber scanPlain(const unsigned char* start, const unsigned char* limit, bool withPoint) {
    PlainNumber number;
    const unsigned char* p = start;
    if (p < limit && (*p == '+' || *p == '-')) {
        number.negative = *p++ == '-';
    }
    int count = 0;
    bool point = false;
    for (; p < limit; ++p) {
        if (isDigit(*p)) {
            if (++count > 9) {
                return {};
            }
            number.digits = number.digits * 10 + static_cast<std::uint32_t>(*p - '0');
            number.fractionDigits += point ? 1 : 0;
        } else if (*p == '.' && withPoint && !point) {
            point = true;
        } else {
            break;
        }
    }
    // Without digits, at the buffer's end or before an exponent the general reading decides.
    if (count == 0 || p == limit || (withPoint && (*p == 'e' || *p == 'E'))) {
        return {};
    }
    number.found = true;
    number.length = static_cast<std::size_t>(p - start);
    return number;
}

// Consumes a plain number's characters into its text.
template <typename T>
void takePlain(ByteSource& input, const PlainNumber& plain, NumberValue<T>& number) {
    number.found = true;
    number.inRange = true;
    number.keptLength = std::min(plain.length, kNumberTextKept);
    std::memcpy(number.kept.data(), input.cursor(), number.keptLength);
    input.advanceOverText(plain.length);
}

// Powers of ten that single precision holds exactly (5^10 < 2^24).
constexpr float kExactPowersOfTen[] = {1e0F, 1e1F, 1e2F, 1e3F, 1e4F, 1e5F, 1e6F, 1e7F, 1e8F, 1e9F};

}  // namespace

NumberValue<std::int32_t> readDecimal(ByteSource& input) {
    NumberValue<std::int32_t> number;
    skipSpace(input);
    const PlainNumber plain = scanPlain(input.cursor(), input.limit(), false);
    if (plain.found) {
        // Nine digits always fit.
        const auto magnitude = static_cast<std::int32_t>(plain.digits);
        number.value = plain.negative ? -magnitude : magnitude;
        takePlain(input, plain, number);
        return number;
    }
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
    return negativeExponent ? -exponent : exponent;
}

}  // namespace

NumberValue<float> readFloat(ByteSource& input) {
    NumberValue<float> number;
    skipSpace(input);
    const PlainNumber plain = scanPlain(input.cursor(), input.limit(), true);
    // Digits below 2^24 and a power of ten are both exact in single precision, so their one
    // correctly rounded quotient is the nearest float to the number.
    if (plain.found && plain.digits < (1U << 24)) {
        const float magnitude =
            static_cast<float>(plain.digits) / kExactPowersOfTen[plain.fractionDigits];
        number.value = plain.negative ? -magnitude : magnitude;
        takePlain(input, plain, number);
        return number;
    }
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
    digits.addExponent(readExponent(input, number));
    number.value = digits.toFloat(negative);
    number.inRange = !std::isinf(number.value);
    return number;
}

}  // namespace kr570
