// Whole conversions in both directions on the shipped examples.
#include <gtest/gtest.h>

#include <memory>

#include "eeprom/config_block.hpp"
#include "hex/hex_writer.hpp"
#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

using test::runTool;

class Examples : public ::testing::TestWithParam<std::string> {};

TEST_P(Examples, CompileToTheShippedHexFile) {
    test::TempDir dir;
    const std::string source = test::sourcePath("examples/" + GetParam() + ".txt");
    const auto run = runTool({source, dir.file("out.hex")}, "", dir.path());
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(test::nativeText(test::readFile(test::sourcePath("examples/" + GetParam() + ".hex"))),
              test::readFile(dir.file("out.hex")));
}

TEST_P(Examples, ReportReadsBackIntoTheSameHexFile) {
    test::TempDir dir;
    const std::string hex = test::sourcePath("examples/" + GetParam() + ".hex");
    ASSERT_EQ(0, runTool({hex, dir.file("report.txt")}, "", dir.path()).status);
    ASSERT_EQ(0, runTool({dir.file("report.txt"), dir.file("again.hex")}, "", dir.path()).status);
    const std::string expected = test::nativeText(test::readFile(hex));
    EXPECT_EQ(expected, test::readFile(dir.file("again.hex")));
    // A second cycle changes nothing either.
    ASSERT_EQ(0, runTool({dir.file("again.hex"), dir.file("report2.txt")}, "", dir.path(),
                         {"SOURCE_DATE_EPOCH=0"})
                     .status);
    ASSERT_EQ(0, runTool({dir.file("report2.txt"), dir.file("third.hex")}, "", dir.path()).status);
    EXPECT_EQ(expected, test::readFile(dir.file("third.hex")));
}

INSTANTIATE_TEST_SUITE_P(Shipped, Examples,
                         ::testing::Values("default", "x-axis-halfstep", "all-keywords"));

std::string hexOf(const EepromImage& image) {
    test::OutputCapture out;
    writeHex(out.stream(), image, static_cast<int>(block::kLength));
    return out.text();
}

TEST(RoundTrip, WhatTheTextDoesNotCarryComesBackAsBuilt) {
    // A block with another header, notice and fixed byte, and switches holding 2 and 3.
    auto odd = std::make_unique<EepromImage>();
    buildBlock(*odd, test::defaultRecord());
    odd->putByte(block::kProductId, 7);
    odd->putByte(block::kRevisionMajor, 2);
    odd->putByte(block::kRevisionMinor, 3);
    for (std::size_t i = 0; i < kNoticeLength; ++i) {
        odd->putByte(block::kNotice + i, static_cast<unsigned>('A' + i));
    }
    odd->putByte(block::kFixedByte57, 0x7F);
    odd->putByte(33 /* i2cmode */, 2);
    odd->putByte(52 /* followpots */, 2);
    odd->putByte(71 /* followstepdir */, 3);

    test::TempDir dir;
    test::writeFile(dir.file("odd.hex"), hexOf(*odd));
    ASSERT_EQ(0, runTool({"odd.hex", "odd.txt"}, "", dir.path()).status);
    ASSERT_EQ(0, runTool({"odd.txt", "back.hex"}, "", dir.path()).status);

    ConfigRecord expected = test::defaultRecord();
    expected.i2cmode = 1;        // tested for non-zero
    expected.followpots = 0;     // compared with 1
    expected.followstepdir = 1;  // tested for non-zero
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, expected);
    EXPECT_EQ(test::nativeText(hexOf(*image)), test::readFile(dir.file("back.hex")));
}

}  // namespace
}  // namespace kr570
