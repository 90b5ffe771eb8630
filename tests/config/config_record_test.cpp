#include "config/config_record.hpp"

#include <gtest/gtest.h>

namespace kr570 {
namespace {

TEST(ConfigRecord, DefaultsLeaveFollowMotorParametersAlone) {
    ConfigRecord fresh{};
    setDefaults(fresh);
    EXPECT_EQ(0, fresh.followmotorparameters);

    ConfigRecord set{};
    set.followmotorparameters = 1;
    setDefaults(set);
    EXPECT_EQ(1, set.followmotorparameters);
}

}  // namespace
}  // namespace kr570
