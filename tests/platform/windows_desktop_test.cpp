// What a Windows desktop shows of the tool: the arguments as the C runtime splits the wide command
// line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

struct ArgumentCase : test::NamedCase {
    std::vector<std::string> arguments;
    int status;
    std::string message;
};

class WideArguments : public ::testing::TestWithParam<ArgumentCase> {};

// Every argument arrives as it was given, whatever letters, quotes and backslashes it holds, and
// a wildcard is a name like any other.
TEST_P(WideArguments, ArriveAsGiven) {
    const ArgumentCase& c = GetParam();
    test::TempDir dir;
    test::writeFile(dir.file("in.txt"), "ontime 5\n");
    const auto run = test::runTool(c.arguments, "", dir.path());
    EXPECT_EQ(c.status, run.status);
    EXPECT_NE(std::string::npos, run.err.find(c.message)) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, WideArguments,
    ::testing::Values(
        ArgumentCase{{"quote"}, {"--a\"b"}, 2, "unknown option '--a\"b'"},
        ArgumentCase{{"backslashes"}, {"--a\\\\\"b\\"}, 2, "unknown option '--a\\\\\"b\\'"},
        ArgumentCase{{"blanks"}, {"--a b\tc"}, 2, "unknown option '--a b\tc'"},
        ArgumentCase{{"beyond_the_code_page"}, {"--ключ-键"}, 2, "unknown option '--ключ-键'"},
        ArgumentCase{{"wildcard"}, {"*.txt", "out.hex"}, 1, "Can't open input file *.txt: "}),
    test::CaseName());

}  // namespace
}  // namespace kr570
