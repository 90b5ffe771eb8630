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

// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, ConsoleWindowSeam, ::testing::ValuesIn(std::vector<SeamCase>{
    {"owned", "1", true}, {"not_owned", "0", false},
}), test::CaseName());
// clang-format on

}  // namespace
}  // namespace kr570
