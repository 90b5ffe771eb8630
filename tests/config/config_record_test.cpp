#include "config/config_record.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace kr570 {
namespace {

std::uint32_t bitsOf(float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST(ConfigRecord, StartsAllZero) {
    const ConfigRecord record{};
    const ConfigRecord zero{};
    EXPECT_EQ(0, std::memcmp(&record.notice, &zero.notice, kNoticeLength));
    EXPECT_EQ(0U, bitsOf(record.resistance));
    EXPECT_EQ(0, record.stepmode);
    EXPECT_EQ(0, record.motorshutofftime);
}

TEST(ConfigRecord, DefaultsAreTheFactorySettings) {
    ConfigRecord r{};
    setDefaults(r);
    EXPECT_EQ(1, r.productId);
    EXPECT_EQ(0, r.revisionMajor);
    EXPECT_EQ(99, r.revisionMinor);
    EXPECT_STREQ("Copyright KR570 Controls", r.notice.data());
    EXPECT_EQ(1, r.i2cmode);
    EXPECT_EQ(0x23, r.TWI_slaveAddress);
    EXPECT_EQ(0x3FC00000U, bitsOf(r.resistance));
    EXPECT_EQ(0x3FD9999AU, bitsOf(r.inductance));
    EXPECT_EQ(0x40200000U, bitsOf(r.current));
    EXPECT_EQ(0x41C00000U, bitsOf(r.drive_voltage));
    EXPECT_EQ(1, r.followpots);
    EXPECT_EQ(128, r.ontime);
    EXPECT_EQ(128, r.dutycycle);
    EXPECT_EQ(0, r.slewrate);
    EXPECT_EQ(10, r.recoverytime);
    EXPECT_EQ(0xB9, r.fixedByte57);
    EXPECT_EQ(1, r.followstepheader);
    EXPECT_EQ('w', r.stepmode);
    EXPECT_EQ(0, r.checklimitswitch);
    EXPECT_EQ(0, r.checkestop);
    EXPECT_EQ(1, r.automotorshutoff);
    EXPECT_EQ(8000, r.motorshutofftime);
    EXPECT_EQ(1, r.motorpowerreductionmode);
    EXPECT_EQ(50, r.motorpowerreduction);
    EXPECT_EQ(4000, r.powerreductiontime);
    EXPECT_EQ('p', r.steppolarity);
    EXPECT_EQ('c', r.dirpolarity);
    EXPECT_EQ(1, r.followstepdir);
}

TEST(ConfigRecord, DefaultsLeaveFollowMotorParametersAlone) {
    ConfigRecord fresh{};
    setDefaults(fresh);
    EXPECT_EQ(0, fresh.followmotorparameters);

    ConfigRecord set{};
    set.followmotorparameters = 1;
    setDefaults(set);
    EXPECT_EQ(1, set.followmotorparameters);
}

TEST(ConfigRecord, DefaultNoticeEndsWithNulInsideTheField) {
    ConfigRecord r{};
    r.notice.fill('x');
    setDefaults(r);
    EXPECT_EQ(24U, std::strlen(kDefaultNotice));
    EXPECT_EQ('\0', r.notice[24]);
}

}  // namespace
}  // namespace kr570
