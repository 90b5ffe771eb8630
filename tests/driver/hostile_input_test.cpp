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
    const long baseline = test::runTool({"--force", small, output}, dir.path()).peakKib;
    {
        std::ofstream out(dir.file(c.input), std::ios::binary);  // not held in memory either
        for (std::size_t i = 0; i < c.count; ++i) {
            out << c.piece;
        }
        out << c.tail;
    }
    // Forced: the garbage gives a byte or two of the block, which is all this row needs.
    const auto run = test::runTool({"--force", c.input, output}, dir.path());
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
    const char* written;  // how the output ends: a HEX file, a report, or nothing (nullptr)
};

const char* const kHex = ":00000001FF\n";
const char* const kReport = "; End of KR570 Configuration settings\n";

class Garbage : public ::testing::TestWithParam<GarbageCase> {};

// Garbage gives a full output, or, when no whole configuration block can be found in it, a
// failure that says what it holds and writes nothing.
TEST_P(Garbage, GivesAFullOutputOrNone) {
    const GarbageCase& c = GetParam();
    test::TempDir dir;
    const Tool garbage = Tool().file(c.input, c.content).env("SOURCE_DATE_EPOCH=0");
    const auto quiet = Tool(garbage).args("-q " + c.input + " out.y").in(dir.path());
    if (c.written == nullptr) {
        const Tool none = Tool().exits(1).saying(c.input + " holds ").makesNo("out.y");
        return test::expectOutcome(none, quiet, dir.path());
    }
    ASSERT_EQ(0, quiet.status) << quiet.err;
    const std::string output = test::readFile(dir.file("out.y"));
    EXPECT_NE(std::string::npos, output.find(test::nativeText(c.written)));
    // Warnings describe the garbage but never change what is written.
    ASSERT_EQ(0, Tool(garbage).args("-w " + c.input + " out2.y").in(dir.path()).status);
    EXPECT_EQ(output, test::readFile(dir.file("out2.y")));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, Garbage, ::testing::ValuesIn(std::vector<GarbageCase>{
    // Bytes that no text holds are a raw image, whatever the name says.
    {"binary_as_hex", "noise.hex", test::randomBytes(1 << 20, 1), kReport},
    {"binary_as_text", "noise.txt", test::randomBytes(1 << 20, 2), kReport},
    {"colons_as_hex", "colons.hex", std::string(100000, ':'), nullptr},
    // Not "nul.*": on Windows that is the null device, whatever the extension.
    {"nul_bytes_as_hex", "nuls.hex", std::string(":01000000\0\0ee\n", 14), nullptr},
    {"nul_bytes_as_text", "nuls.txt", std::string("ontime\0 5 ontime 6\0", 19), nullptr},
    {"non_ascii_as_text", "utf8.txt", "stepmode h\xC3\xA4lf \xE2\x82\xAC ontime 7\n", kHex},
    {"truncated_hex", "cut.hex", ":1000000085c21e4f1101006343", nullptr},
    {"truncated_text", "cut.txt", "ontime 5\nfollowmotorparam", kHex},
}), test::CaseName());
// clang-format on

}  // namespace
}  // namespace kr570
