#include "text/number_reader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <random>

#include "support/test_support.hpp"

namespace kr570 {
namespace {

// Reads a number with `read` and returns it with what the stream still holds after it.
template <typename T, typename Reader>
std::pair<NumberValue<T>, std::string> readFrom(const std::string& text, Reader read) {
    std::FILE* stream = test::streamWith(text);
    ByteSource source(stream);
    NumberValue<T> number = read(source);
    std::string rest;
    for (int c = source.get(); c != -1; c = source.get()) {
        rest.push_back(static_cast<char>(c));
    }
    std::fclose(stream);
    return {number, rest};
}

// Each row is named by the text it reads.
struct DecimalCase : test::NamedCase {
    bool found;
    bool inRange;
    std::int32_t value;
    std::string rest;
};

class DecimalNumbers : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(DecimalNumbers, TakeTheLongestPrefix) {
    const auto [number, rest] = readFrom<std::int32_t>(GetParam().name, readDecimal);
    EXPECT_EQ(GetParam().found, number.found);
    EXPECT_EQ(GetParam().inRange, number.inRange);
    if (number.inRange) {
        EXPECT_EQ(GetParam().value, number.value);
    }
    EXPECT_EQ(GetParam().rest, rest);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecimalNumbers,
    ::testing::Values(
        DecimalCase{" 128\n", true, true, 128, "\n"}, DecimalCase{"\n\t-1 x", true, true, -1, " x"},
        DecimalCase{"+7", true, true, 7, ""}, DecimalCase{"128;note", true, true, 128, ";note"},
        DecimalCase{"-x", false, false, 0, "-x"}, DecimalCase{"+", false, false, 0, "+"},
        DecimalCase{"abc", false, false, 0, "abc"}, DecimalCase{"", false, false, 0, ""},
        DecimalCase{"2147483647", true, true, 2147483647, ""},
        DecimalCase{"-2147483648", true, true, INT32_MIN, ""},
        DecimalCase{"2147483648 y", true, false, 0, " y"},
        DecimalCase{"99999999999999999999999", true, false, 0, ""},
        DecimalCase{"0007", true, true, 7, ""},
        DecimalCase{"-123456789 ", true, true, -123456789, " "},
        DecimalCase{"1234567890 ", true, true, 1234567890, " "}));

// Each row is named by the text it reads.
struct HexCase : test::NamedCase {
    bool found;
    bool inRange;
    std::uint32_t value;
    std::string rest;
};

class HexNumbers : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexNumbers, TakeTheLongestPrefix) {
    const auto [number, rest] = readFrom<std::uint32_t>(GetParam().name, readHexNumber);
    EXPECT_EQ(GetParam().found, number.found);
    EXPECT_EQ(GetParam().inRange, number.inRange);
    if (number.inRange) {
        EXPECT_EQ(GetParam().value, number.value);
    }
    EXPECT_EQ(GetParam().rest, rest);
}

INSTANTIATE_TEST_SUITE_P(Cases, HexNumbers,
                         ::testing::Values(HexCase{"0x2A", true, true, 0x2A, ""},
                                           HexCase{"0X2a\n", true, true, 0x2A, "\n"},
                                           HexCase{"2a", true, true, 0x2A, ""},
                                           HexCase{"123", true, true, 0x123, ""},
                                           HexCase{"-1", true, true, 0xFFFFFFFFU, ""},
                                           HexCase{"0xg", true, true, 0, "xg"},
                                           HexCase{"x1", false, false, 0, "x1"},
                                           HexCase{"ffffffff", true, true, 0xFFFFFFFFU, ""},
                                           HexCase{"100000000", true, false, 0, ""},
                                           HexCase{"; c", false, false, 0, "; c"}));

// Each row is named by the text it reads.
struct FloatCase : test::NamedCase {
    bool found;
    float value;
    std::string rest;
};

class FloatNumbers : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FloatNumbers, TakeTheLongestPrefixAsTheNearestFloat) {
    const auto [number, rest] = readFrom<float>(GetParam().name, readFloat);
    EXPECT_EQ(GetParam().found, number.found);
    if (number.found) {
        EXPECT_EQ(GetParam().value, number.value);
    }
    EXPECT_EQ(GetParam().rest, rest);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FloatNumbers,
    ::testing::Values(
        FloatCase{"1.5ohm", true, 1.5F, "ohm"}, FloatCase{" 24", true, 24.0F, ""},
        FloatCase{"1.7", true, 1.7F, ""}, FloatCase{"-.5", true, -0.5F, ""},
        FloatCase{"5.", true, 5.0F, ""}, FloatCase{"2.5e1x", true, 25.0F, "x"},
        FloatCase{"2.5E-1", true, 0.25F, ""}, FloatCase{"3e", true, 3.0F, "e"},
        FloatCase{"3e+x", true, 3.0F, "e+x"}, FloatCase{".x", false, 0, ".x"},
        FloatCase{"nan", false, 0, "nan"}, FloatCase{"inf", false, 0, "inf"},
        FloatCase{"-", false, 0, "-"}, FloatCase{";1.0", false, 0, ";1.0"},
        FloatCase{"0.000000000000000000000000000000000000000000001", true, 1e-45F, ""},
        FloatCase{"340282356779733661637539395458142568447", true, 3.40282347e38F, ""},
        FloatCase{"1.7 ", true, 1.7F, " "}, FloatCase{"1.2.3 ", true, 1.2F, ".3 "},
        FloatCase{"2.5e1 ", true, 25.0F, " "}, FloatCase{"16777217 ", true, 16777216.0F, " "},
        FloatCase{".000000001;", true, 1e-9F, ";"}));

TEST(FloatNumbers, ShortNumbersAreTheNearestFloat) {
    // Short numbers are read in place; each must give what the C library's correctly rounded
    // conversion gives, the sign of zero included.
    std::mt19937 random(570);
    for (int i = 0; i < 5000; ++i) {
        std::string text = std::to_string(random() % 1000000000U);
        text.insert(random() % (text.size() + 1), ".");
        text = (random() % 2 == 0 ? "-" : "") + text;
        const float expected = std::strtof(text.c_str(), nullptr);
        const float read = readFrom<float>(text + " ", readFloat).first.value;
        ASSERT_EQ(0, std::memcmp(&expected, &read, sizeof read)) << text;
    }
}

TEST(FloatNumbers, LongDigitRunsRoundCorrectly) {
    // 1 + 2^-24 is exactly halfway between two floats; a trailing non-zero digit far beyond
    // any kept precision must still tip it upwards.
    const std::string halfway = "1.000000059604644775390625";
    const auto down = readFrom<float>(halfway, readFloat).first;
    const auto up = readFrom<float>(halfway + std::string(1000, '0') + "1", readFloat).first;
    EXPECT_EQ(1.0F, down.value);
    EXPECT_EQ(std::nextafter(1.0F, 2.0F), up.value);
}

TEST(FloatNumbers, OverflowIsOutOfRange) {
    const auto huge = readFrom<float>("1e39", readFloat).first;
    EXPECT_TRUE(huge.found);
    EXPECT_FALSE(huge.inRange);
    EXPECT_TRUE(std::isinf(huge.value));
    // Exactly halfway between the largest float and 2^128: ties to even overflow.
    EXPECT_FALSE(
        readFrom<float>("340282356779733661637539395458142568448", readFloat).first.inRange);
    const auto manyDigits = readFrom<float>(std::string(100000, '9') + "e-99990", readFloat).first;
    EXPECT_TRUE(manyDigits.inRange);
    EXPECT_EQ(1e10F, manyDigits.value);
}

}  // namespace
}  // namespace kr570
