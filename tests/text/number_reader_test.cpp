#include "text/number_reader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include "support/test_support.hpp"

namespace kr570 {
namespace {

// Reads a number with `read` and returns it with what the stream still holds after it.
template <typename T, typename Reader>
std::pair<NumberValue<T>, std::string> readFrom(const std::string& text, Reader read) {
    test::TempStream stream(text);
    ByteSource source(stream.stream());
    NumberValue<T> number = read(source);
    std::string rest;
    for (int c = source.get(); c != -1; c = source.get()) {
        rest.push_back(static_cast<char>(c));
    }
    return {number, rest};
}

// Each row is named by the text it reads: whether a number starts it, whether it fits the type,
// its value then, and what the stream still holds after it.
template <typename T>
struct NumberCase : test::NamedCase {
    bool found;
    bool inRange;
    T value;
    std::string rest;
};

template <typename T, NumberValue<T> (*read)(ByteSource&)>
class Numbers : public ::testing::TestWithParam<NumberCase<T>> {
  protected:
    void expectRead() {
        const NumberCase<T>& row = this->GetParam();
        const auto [number, rest] = readFrom<T>(row.name, read);
        EXPECT_EQ(row.found, number.found);
        EXPECT_EQ(row.inRange, number.inRange);
        if (number.inRange) {
            EXPECT_EQ(row.value, number.value);
        }
        EXPECT_EQ(row.rest, rest);
    }
};

class DecimalNumbers : public Numbers<std::int32_t, readDecimal> {};
class HexNumbers : public Numbers<std::uint32_t, readHexNumber> {};
class FloatNumbers : public Numbers<float, readFloat> {};

TEST_P(DecimalNumbers, TakeTheLongestPrefix) {
    expectRead();
}

TEST_P(HexNumbers, TakeTheLongestPrefix) {
    expectRead();
}

TEST_P(FloatNumbers, TakeTheLongestPrefixAsTheNearestFloat) {
    expectRead();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, DecimalNumbers,
                         ::testing::ValuesIn(std::vector<NumberCase<std::int32_t>>{
    {" 128\n", true, true, 128, "\n"}, {"\n\t-1 x", true, true, -1, " x"},
    {"+7", true, true, 7, ""}, {"128;note", true, true, 128, ";note"},
    {"-x", false, false, 0, "-x"}, {"+", false, false, 0, "+"}, {"abc", false, false, 0, "abc"},
    {"", false, false, 0, ""}, {"2147483647", true, true, 2147483647, ""},
    {"-2147483648", true, true, INT32_MIN, ""}, {"2147483648 y", true, false, 0, " y"},
    {"99999999999999999999999", true, false, 0, ""}, {"0007", true, true, 7, ""},
    {"-123456789 ", true, true, -123456789, " "}, {"1234567890 ", true, true, 1234567890, " "}}));

INSTANTIATE_TEST_SUITE_P(Cases, HexNumbers,
                         ::testing::ValuesIn(std::vector<NumberCase<std::uint32_t>>{
    {"0x2A", true, true, 0x2A, ""}, {"0X2a\n", true, true, 0x2A, "\n"},
    {"2a", true, true, 0x2A, ""}, {"123", true, true, 0x123, ""},
    {"-1", true, true, 0xFFFFFFFFU, ""}, {"0xg", true, true, 0, "xg"},
    {"x1", false, false, 0, "x1"}, {"ffffffff", true, true, 0xFFFFFFFFU, ""},
    {"100000000", true, false, 0, ""}, {"; c", false, false, 0, "; c"}}));

INSTANTIATE_TEST_SUITE_P(Cases, FloatNumbers, ::testing::ValuesIn(std::vector<NumberCase<float>>{
    {"1.5ohm", true, true, 1.5F, "ohm"}, {" 24", true, true, 24.0F, ""},
    {"1.7", true, true, 1.7F, ""}, {"-.5", true, true, -0.5F, ""}, {"5.", true, true, 5.0F, ""},
    {"2.5e1x", true, true, 25.0F, "x"}, {"2.5E-1", true, true, 0.25F, ""},
    {"3e", true, true, 3.0F, "e"}, {"3e+x", true, true, 3.0F, "e+x"}, {".x", false, false, 0, ".x"},
    {"nan", false, false, 0, "nan"}, {"inf", false, false, 0, "inf"}, {"-", false, false, 0, "-"},
    {";1.0", false, false, 0, ";1.0"},
    {"0.000000000000000000000000000000000000000000001", true, true, 1e-45F, ""},
    {"340282356779733661637539395458142568447", true, true, 3.40282347e38F, ""},
    {"1.7 ", true, true, 1.7F, " "}, {"1.2.3 ", true, true, 1.2F, ".3 "},
    {"2.5e1 ", true, true, 25.0F, " "}, {"16777217 ", true, true, 16777216.0F, " "},
    {".000000001;", true, true, 1e-9F, ";"}}));
// clang-format on

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
