#include "config/config_record.hpp"

#include <cstring>

namespace kr570 {

void setDefaults(ConfigRecord& record) {
    record.productId = 1;
    record.revisionMajor = 0;
    record.revisionMinor = 99;
    static_assert(sizeof kDefaultNotice <= kNoticeLength, "the notice must fit the block");
    std::memcpy(record.notice.data(), kDefaultNotice, sizeof kDefaultNotice);
    record.i2cmode = 1;
    record.TWI_slaveAddress = 0x23;
    record.resistance = 1.5F;
    record.inductance = 1.7F;
    record.current = 2.5F;
    record.drive_voltage = 24.0F;
    record.followpots = 1;
    record.ontime = 128;
    record.dutycycle = 128;
    record.slewrate = 0;
    record.recoverytime = 10;
    record.fixedByte57 = 0xB9;
    record.followstepheader = 1;
    record.stepmode = 'w';
    record.checklimitswitch = 0;
    record.checkestop = 0;
    record.automotorshutoff = 1;
    record.motorshutofftime = 8000;
    record.motorpowerreductionmode = 1;
    record.motorpowerreduction = 50;
    record.powerreductiontime = 4000;
    record.steppolarity = 'p';
    record.dirpolarity = 'c';
    record.followstepdir = 1;
}

}  // namespace kr570
