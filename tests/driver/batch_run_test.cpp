// Runs with arguments, for scripts: through the real executable.
#include <gtest/gtest.h>

#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

using test::runTool;

const std::string kFinished = "\nProgram finished!\n";

TEST(BatchRun, ConvertsLikeTheInteractiveRun) {
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "ontime 77\nstepmode half\n");
    const std::vector<std::string> env{"SOURCE_DATE_EPOCH=1268903103"};
    ASSERT_EQ(0, runTool({}, "in.txt\ni.hex\n", dir.path(), env).status);
    ASSERT_EQ(0, runTool({}, "i.hex\ni.report\n", dir.path(), env).status);

    const auto toHex =
        runTool({"-i", "in.txt", "-ob.hex"}, "", dir.path(), env, test::Stdin::Closed);
    EXPECT_EQ(0, toHex.status);
    EXPECT_EQ(0U, toHex.out.find("; Calculated motor parameters:\n"));
    EXPECT_EQ(kFinished, toHex.out.substr(toHex.out.size() - kFinished.size()));
    EXPECT_EQ(test::readFile(dir.file("i.hex")), test::readFile(dir.file("b.hex")));

    const auto toText = runTool({"i.hex", "b.report"}, "", dir.path(), env, test::Stdin::Closed);
    EXPECT_EQ(0, toText.status);
    EXPECT_EQ(kFinished, toText.out);
    EXPECT_EQ(test::readFile(dir.file("i.report")), test::readFile(dir.file("b.report")));
}

TEST(BatchRun, HelpAndVersion) {
    test::TempDir dir;
    const auto help = runTool({"--help"}, "", dir.path());
    EXPECT_EQ(0, help.status);
    EXPECT_EQ(0U, help.out.find("Usage: kr570convert"));
    EXPECT_EQ("", help.err);
    const auto version = runTool({"--version"}, "", dir.path());
    EXPECT_EQ(0, version.status);
    EXPECT_EQ("KR570Convert V1.01\n", version.out);
}

class BatchUsageErrors : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(BatchUsageErrors, ExitTwoAndCreateNothing) {
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "");
    const auto run = runTool(GetParam(), "", dir.path());
    EXPECT_EQ(2, run.status);
    EXPECT_EQ("", run.out);
    EXPECT_EQ(0U, run.err.find("kr570convert: ")) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("\nTry 'kr570convert --help'\n"));
    EXPECT_FALSE(test::fileExists(dir.file("out.hex")));
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, BatchUsageErrors,
    ::testing::Values(std::vector<std::string>{"-x", "in.txt", "out.hex"},
                      std::vector<std::string>{"-i", "in.txt", "-o", "out.hex", "stray"},
                      std::vector<std::string>{"-i", "in.txt", "-i", "in.txt", "-o", "out.hex"},
                      std::vector<std::string>{"-i", "in.txt"},
                      std::vector<std::string>{"-o", "out.hex"},
                      std::vector<std::string>{"in.txt"}));

TEST(BatchRun, FailuresExitOneWithoutWaiting) {
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "ontime 5\n");
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    std::vector<Case> cases = {
        {{"-i", "missing.txt", "-o", "out.hex"}, "Can't open input file missing.txt\n"},
        {{"-i", "in.txt", "-o", "no/out.hex"}, "Can't open output file no/out.hex\n"},
        {{"-i", "in.txt", "-o", "in.txt"}, "Output file in.txt is the input file\n"},
    };
    if (const char* const full = test::fullDevice()) {
        cases.push_back(
            {{"-i", "in.txt", "-o", full}, "Can't write output file " + std::string(full) + "\n"});
    }
    for (const Case& c : cases) {
        // Standard input stays open and empty: a key wait would hang until killed.
        const auto run = runTool(c.arguments, "", dir.path());
        EXPECT_EQ(1, run.status) << c.message;
        EXPECT_EQ(c.message, run.err);
        EXPECT_EQ(kFinished, run.out.substr(run.out.size() - kFinished.size()));
        EXPECT_EQ(std::string::npos, run.out.find("Hit any key"));
    }
    EXPECT_EQ("ontime 5\n", test::readFile(dir.file("in.txt")));
    EXPECT_FALSE(test::fileExists(dir.file("out.hex")));
}

TEST(BatchRun, WarningsNameFileAndLineAndChangeNoOutput) {
    test::TempDir dir;
    test::writeFile(dir.file("typo.txt"), "; motor\nresistance 2.0\ncurent 3.0\nontime 300\n");
    const auto quiet = runTool({"typo.txt", "quiet.hex"}, "", dir.path());
    const auto loud = runTool({"-w", "typo.txt", "loud.hex"}, "", dir.path());
    EXPECT_EQ(0, quiet.status);
    EXPECT_EQ(0, loud.status);
    EXPECT_EQ("", quiet.err);
    EXPECT_EQ(
        "typo.txt:3: warning: 'curent' is not a keyword; did you mean 'current'?\n"
        "typo.txt:3: warning: '3.0' is not a keyword; it is ignored\n"
        "typo.txt:4: warning: '300' does not fit 'ontime' (0 to 255); 44 is stored\n",
        loud.err);
    EXPECT_EQ(test::readFile(dir.file("quiet.hex")), test::readFile(dir.file("loud.hex")));
}

TEST(BatchRun, HexWarningsIncludeTheMissingSignature) {
    test::TempDir dir;
    test::writeFile(dir.file("odd.hex"), ":0100000011ff\n");
    const auto run = runTool({"-w", "odd.hex", "odd.txt"}, "", dir.path(), {"SOURCE_DATE_EPOCH=0"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(
        "odd.hex:1: warning: checksum is 0xff, expected 0xee; the record is applied\n"
        "odd.hex: warning: no end-of-file record\n"
        "odd.hex: warning: no configuration block signature (85 c2 1e 4f 11) at address 0; the "
        "first 72 bytes are read as a block all the same\n",
        run.err);
    EXPECT_TRUE(test::fileExists(dir.file("odd.txt")));
}

}  // namespace
}  // namespace kr570
