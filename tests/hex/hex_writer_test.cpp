#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

#include "eeprom/config_block.hpp"
#include "formats/intel_hex.hpp"
#include "support/test_support.hpp"

namespace kr570 {
namespace {

using test::hexOf;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(HexWriter, DefaultBlockIsSixLines) {
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, test::defaultRecord());
    EXPECT_EQ(test::kDefaultHex, hexOf(*image, 72));
}

struct LengthCase : test::NamedCase {
    int count;
    std::vector<std::string> heads;  // the first nine characters of every line
};

class HexWriterLengths : public ::testing::TestWithParam<LengthCase> {};

TEST_P(HexWriterLengths, RecordsCoverTheBytesWithoutGaps) {
    auto image = std::make_unique<EepromImage>();
    const std::vector<std::string> lines = linesOf(hexOf(*image, GetParam().count));
    std::vector<std::string> heads;
    for (const std::string& line : lines) {
        heads.push_back(line.substr(0, 9));
    }
    EXPECT_EQ(GetParam().heads, heads);
    EXPECT_EQ(":00000001FF", lines.back());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lengths, HexWriterLengths, ::testing::ValuesIn(std::vector<LengthCase>{
    {"count_0", 0, {":00000001"}},
    {"count_16", 16, {":10000000", ":00000001"}},
    {"count_19", 19, {":10000000", ":03001000", ":00000001"}},
    {"count_72", 72,
        {":10000000", ":10001000", ":10002000", ":10003000", ":08004000", ":00000001"}},
}), test::CaseName());
// clang-format on

TEST(HexWriter, ShortLastRecordAndItsChecksum) {
    auto image = std::make_unique<EepromImage>();
    image->putByte(16, 1);
    image->putByte(17, 2);
    image->putByte(18, 3);
    const std::vector<std::string> lines = linesOf(hexOf(*image, 19));
    ASSERT_EQ(3U, lines.size());
    EXPECT_EQ(":10000000" + std::string(32, '0') + "f0", lines[0]);
    EXPECT_EQ(":03001000010203e7", lines[1]);
}

TEST(HexWriter, DigitsAreLowerCase) {
    auto image = std::make_unique<EepromImage>();
    image->putByte(0, 0xA0);
    image->putByte(1, 0xFF);
    image->putByte(2, 0xCD);
    EXPECT_EQ(":03000000a0ffcd91\n:00000001FF\n", hexOf(*image, 3));
}

TEST(HexWriter, WholeImageNeedsNoExtendedAddress) {
    auto image = std::make_unique<EepromImage>();
    image->fillImage(0x5A);
    const std::vector<std::string> lines =
        linesOf(hexOf(*image, static_cast<int>(EepromImage::kSize)));
    ASSERT_EQ(50000U / 16 + 1, lines.size());
    EXPECT_EQ(":10c34000", lines[lines.size() - 2].substr(0, 9));
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        ASSERT_EQ("00", lines[i].substr(7, 2)) << "line " << i + 1 << " is no data record";
    }
}

}  // namespace
}  // namespace kr570
