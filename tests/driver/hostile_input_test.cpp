// Input that is no configuration and no HEX file at all: every run must end, keep its memory
// bounded, and write a whole output or nothing.
#include <gtest/gtest.h>

#include <fstream>

#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

using test::Tool;

struct LargeCase : test::NamedCase {
    std::string input;
    std::string piece;
    std::size_t count;
    std::string tail;
    std::string expectInOutput;
};

class LargeInput : public ::testing::TestWithParam<LargeCase> {};

TEST_P(LargeInput, IsStreamedInBoundedMemory) {
    const LargeCase& c = GetParam();
    test::TempDir dir;
    const bool toHex = c.input.back() == 't';
    const std::string output = toHex ? "out.hex" : "out.report";
    // The peak memory of a run on a tiny file of the same direction, as the baseline.
    const std::string small = toHex ? "small.txt" : "small.hex";
    test::writeFile(dir.file(small), "ontime 5\n:0100000011ee\n");
    const long baseline = test::runTool({small, output}, dir.path()).peakKib;
    {
        std::ofstream out(dir.file(c.input), std::ios::binary);  // not held in memory either
        for (std::size_t i = 0; i < c.count; ++i) {
            out << c.piece;
        }
        out << c.tail;
    }
    const auto run = test::runTool({c.input, output}, dir.path());
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_NE(std::string::npos,
              test::readFile(dir.file(output)).find(test::nativeText(c.expectInOutput)));
    if (baseline < 0 || run.peakKib < 0) {
        GTEST_SKIP() << "this system does not tell the peak memory of a finished run";
    }
    EXPECT_LE(run.peakKib, baseline + 4096) << "the reader must not hold the file";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, LargeInput, ::testing::ValuesIn(std::vector<LargeCase>{
    {"hex_64_mib_without_colon_or_line_end", "big.hex", std::string(1 << 20, 'x'), 64,
        ":0100230001db\n", "followmotorparameters yes\n"},
    {"hex_10_mb_word", "word.hex", std::string(1000, 'A'), 10000, "\n:0100210000de\n",
        "i2cmode  off\n"},
    {"text_10_mb_word", "word.txt", std::string(1000, 'o'), 10000, " ontime 3\n",
        ":100030000000c041010380000ab9"},
    {"text_64_mib_comment", "comment.txt", std::string(1 << 20, ';'), 64, "\nontime 4\n",
        ":100030000000c041010480000ab9"},
}), test::CaseName());
// clang-format on

struct GarbageCase : test::NamedCase {
    std::string input;
    std::string content;
    bool configuration = true;  // whether the garbage still gives a configuration block
};

class Garbage : public ::testing::TestWithParam<GarbageCase> {};

// Garbage gives a full output, or, when not one byte of a configuration block can be found
// in it, a failure that says so and writes nothing.
TEST_P(Garbage, GivesAFullOutputOrNone) {
    const GarbageCase& c = GetParam();
    test::TempDir dir;
    const Tool garbage = Tool().file(c.input, c.content).env("SOURCE_DATE_EPOCH=0");
    const auto quiet = Tool(garbage).args(c.input + " out").in(dir.path());
    if (!c.configuration) {
        const std::string none = c.input + " holds no configuration";
        return test::expectOutcome(Tool().exits(1).saying(none).makesNo("out"), quiet, dir.path());
    }
    ASSERT_EQ(0, quiet.status) << quiet.err;
    const std::string output = test::readFile(dir.file("out"));
    const bool toHex = c.input.back() == 't';
    EXPECT_NE(std::string::npos,
              output.find(test::nativeText(toHex ? ":00000001FF\n"
                                                 : "; End of KR570 Configuration settings\n")));
    // Warnings describe the garbage but never change what is written.
    ASSERT_EQ(0, Tool(garbage).args("-w " + c.input + " out2").in(dir.path()).status);
    EXPECT_EQ(output, test::readFile(dir.file("out2")));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, Garbage, ::testing::ValuesIn(std::vector<GarbageCase>{
    {"binary_as_hex", "noise.hex", test::randomBytes(1 << 20, 1), false},
    {"binary_as_text", "noise.txt", test::randomBytes(1 << 20, 2)},
    {"colons_as_hex", "colons.hex", std::string(100000, ':'), false},
    {"nul_bytes_as_hex", "nul.hex", std::string(":01000000\0\0ee\n", 14), false},
    {"nul_bytes_as_text", "nul.txt", std::string("ontime\0 5 ontime 6\0", 19)},
    {"non_ascii_as_text", "utf8.txt", "stepmode h\xC3\xA4lf \xE2\x82\xAC ontime 7\n"},
    {"truncated_hex", "cut.hex", ":1000000085c21e4f1101006343"},
    {"truncated_text", "cut.txt", "ontime 5\nfollowmotorparam"},
}), test::CaseName());
// clang-format on

}  // namespace
}  // namespace kr570
