#include "eeprom/config_block.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "config/settings.hpp"
#include "support/test_support.hpp"

namespace kr570 {
namespace {

// The controller's default configuration block, byte for byte: the signature, the header, the
// notice and the settings.
// clang-format off
const std::string kDefaultBlock = std::string("\x85\xC2\x1E\x4F\x11\x01\x00\x63"
    "Copyright KR570 Controls" "\0\x01\x23\0\0\0\xC0\x3F\x9A\x99\xD9\x3F\0\0\x20\x40\0\0\xC0\x41"
    "\x01\x80\x80\0\x0A\xB9\x01\x77\0\0\x01\x40\x1F\x01\x32\xA0\x0F\x70\x63\x01", 72);
// clang-format on

TEST(EepromImage, CodecsAreLittleEndian) {
    auto image = std::make_unique<EepromImage>();
    image->putByte(0, 0x1FF);
    image->putWord(1, 0x12345);
    image->putFloat(3, 1.5F);
    const std::vector<std::uint8_t> expected = {0xFF, 0x45, 0x23, 0x00, 0x00, 0xC0, 0x3F};
    EXPECT_EQ(expected, std::vector<std::uint8_t>(image->data(), image->data() + 7));
    EXPECT_EQ(0xFF, image->getByte(0));
    EXPECT_EQ(0x2345, image->getWord(1));
    EXPECT_EQ(1.5F, image->getFloat(3));
}

TEST(EepromImage, FloatKeepsEveryBitPattern) {
    auto image = std::make_unique<EepromImage>();
    for (const std::uint32_t bits : {0x7FC00001U, 0xFF800000U, 0x80000000U, 0x00000001U}) {
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        image->putFloat(10, value);
        const float back = image->getFloat(10);
        EXPECT_EQ(0, std::memcmp(&value, &back, sizeof back)) << bits;
    }
}

TEST(EepromImage, StartsZeroAndFillsWithTheLowByte) {
    auto image = std::make_unique<EepromImage>();
    EXPECT_EQ(0, image->getByte(0));
    EXPECT_EQ(0, image->getByte(EepromImage::kSize - 1));
    image->fillImage(0x1AB);
    EXPECT_EQ(0xAB, image->getByte(0));
    EXPECT_EQ(0xAB, image->getByte(EepromImage::kSize - 1));
}

TEST(ConfigBlock, SettingsTileOffsets33To71ButTheFixedByte) {
    // Each byte from 33 on belongs to exactly one setting, except the reserved byte 57.
    std::vector<int> owners(block::kLength, 0);
    for (const Setting& setting : kSettings) {
        for (std::size_t i = 0; i < blockWidth(setting.kind); ++i) {
            ASSERT_LT(setting.offset + i, block::kLength) << setting.keyword;
            ++owners[setting.offset + i];
        }
    }
    for (std::size_t offset = 0; offset < block::kLength; ++offset) {
        const int expected = offset < 33 || offset == block::kFixedByte57 ? 0 : 1;
        EXPECT_EQ(expected, owners[offset]) << "offset " << offset;
    }
    EXPECT_EQ(24U, std::size(kSettings));
}

TEST(ConfigBlock, DefaultsBuildTheFactoryBlock) {
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, test::defaultRecord());
    EXPECT_EQ(kDefaultBlock, std::string(reinterpret_cast<const char*>(image->data()), 72));
    EXPECT_EQ(0, image->getByte(block::kLength)) << "nothing past the block is written";
}

TEST(ConfigBlock, PackReturnsTheLengthAndKeepsTheHeader) {
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, test::defaultRecord());
    ConfigRecord record = test::withSettings("productId=7 ontime=3");
    record.notice.fill('z');
    EXPECT_EQ(72, packBlock(*image, record));
    EXPECT_EQ(1, image->getByte(block::kProductId));
    EXPECT_EQ('C', image->getByte(block::kNotice));
    EXPECT_EQ(3, image->getByte(53 /* ontime */));
}

TEST(ConfigBlock, TimesKeepOnlyTheirLow16Bits) {
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, test::withSettings("motorshutofftime=70000 powerreductiontime=-1"));
    ConfigRecord back{};
    unpackBlock(*image, back);
    EXPECT_EQ(70000 - 65536, back.motorshutofftime);
    EXPECT_EQ(65535, back.powerreductiontime);
}

TEST(ConfigBlock, UnpackTakesEveryByteAsItStands) {
    auto image = std::make_unique<EepromImage>();
    image->fillImage(0xFF);  // no signature, every switch 255, every code 0xFF
    image->putFloat(36 /* resistance */, 1.5F);
    image->putByte(block::kNotice + 3, 0);
    ConfigRecord record = test::defaultRecord();
    unpackBlock(*image, record);
    EXPECT_FALSE(hasBlockSignature(*image));
    EXPECT_EQ(255, record.productId);
    EXPECT_EQ(255, record.followpots);
    EXPECT_EQ(255, record.i2cmode);
    EXPECT_EQ(0xFF, record.stepmode);
    EXPECT_EQ(255, record.fixedByte57);
    EXPECT_EQ(1.5F, record.resistance);
    EXPECT_EQ(65535, record.motorshutofftime);
    EXPECT_EQ(std::string("\xFF\xFF\xFF"), std::string(record.notice.data()));
    EXPECT_EQ('\xFF', record.notice[24]);
}

TEST(ConfigBlock, PackThenUnpackGivesTheRecordBack) {
    const ConfigRecord record = test::withSettings(
        "followmotorparameters=1 resistance=0.25 stepmode=h dirpolarity=w fixedByte57=0x12 "
        "motorshutofftime=65535");
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, record);
    ConfigRecord back{};
    unpackBlock(*image, back);
    EXPECT_EQ(test::settingsOf(record), test::settingsOf(back));
    EXPECT_TRUE(hasBlockSignature(*image));
}

}  // namespace
}  // namespace kr570
