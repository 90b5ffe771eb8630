// The test seam of the console window: KR570_OWNS_CONSOLE decides on every system.
#include <gtest/gtest.h>

#include "platform/platform.hpp"
#include "support/test_support.hpp"
#include "support/tool_runner.hpp"

namespace kr570 {
namespace {

struct SeamCase : test::NamedCase {
    const char* value;
    bool owns;
};

class ConsoleWindowSeam : public ::testing::TestWithParam<SeamCase> {};

TEST_P(ConsoleWindowSeam, DecidesWhenSet) {
    test::setEnvironment("KR570_OWNS_CONSOLE", GetParam().value);
    const bool owns = platform::ownsConsoleWindow();
    test::setEnvironment("KR570_OWNS_CONSOLE", nullptr);
    EXPECT_EQ(GetParam().owns, owns);
}

INSTANTIATE_TEST_SUITE_P(Values, ConsoleWindowSeam,
                         ::testing::Values(SeamCase{{"owned"}, "1", true},
                                           SeamCase{{"not_owned"}, "0", false}),
                         test::CaseName());

}  // namespace
}  // namespace kr570
