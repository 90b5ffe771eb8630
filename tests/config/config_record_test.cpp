#include "config/config_record.hpp"

#include <gtest/gtest.h>

namespace kr570 {
namespace {

TEST(ConfigRecord, DefaultsLeaveFollowMotorParametersAlone) {
    ConfigRecord record{};
    setDefaults(record);
    EXPECT_EQ(0, record.followmotorparameters);
    record.followmotorparameters = 1;
    setDefaults(record);
    EXPECT_EQ(1, record.followmotorparameters);
}

}  // namespace
}  // namespace kr570
