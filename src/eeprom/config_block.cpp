#include "eeprom/config_block.hpp"

namespace kr570 {

using namespace block;

void buildBlock(EepromImage& image, const ConfigRecord& record) {
    for (std::size_t i = 0; i < sizeof kSignatureBytes; ++i) {
        image.putByte(kSignature + i, kSignatureBytes[i]);
    }
    image.putByte(kProductId, kBuiltProductId);
    image.putByte(kRevisionMajor, kBuiltRevisionMajor);
    image.putByte(kRevisionMinor, kBuiltRevisionMinor);
    for (std::size_t i = 0; i < kNoticeLength; ++i) {
        image.putByte(kNotice + i, static_cast<unsigned char>(record.notice[i]));
    }
    packBlock(image, record);
}

int packBlock(EepromImage& image, const ConfigRecord& record) {
    image.putByte(kI2cmode, record.i2cmode);
    image.putByte(kTwiSlaveAddress, record.TWI_slaveAddress);
    image.putByte(kFollowmotorparameters, record.followmotorparameters);
    image.putFloat(kResistance, record.resistance);
    image.putFloat(kInductance, record.inductance);
    image.putFloat(kCurrent, record.current);
    image.putFloat(kDriveVoltage, record.drive_voltage);
    image.putByte(kFollowpots, record.followpots);
    image.putByte(kOntime, record.ontime);
    image.putByte(kDutycycle, record.dutycycle);
    image.putByte(kSlewrate, record.slewrate);
    image.putByte(kRecoverytime, record.recoverytime);
    image.putByte(kFixedByte57, record.fixedByte57);
    image.putByte(kFollowstepheader, record.followstepheader);
    image.putByte(kStepmode, record.stepmode);
    image.putByte(kChecklimitswitch, record.checklimitswitch);
    image.putByte(kCheckestop, record.checkestop);
    image.putByte(kAutomotorshutoff, record.automotorshutoff);
    // The controller keeps both times as 16-bit words; larger values lose their high bits.
    image.putWord(kMotorshutofftime, static_cast<std::uint32_t>(record.motorshutofftime));
    image.putByte(kMotorpowerreductionmode, record.motorpowerreductionmode);
    image.putByte(kMotorpowerreduction, record.motorpowerreduction);
    image.putWord(kPowerreductiontime, static_cast<std::uint32_t>(record.powerreductiontime));
    image.putByte(kSteppolarity, record.steppolarity);
    image.putByte(kDirpolarity, record.dirpolarity);
    image.putByte(kFollowstepdir, record.followstepdir);
    return static_cast<int>(kLength);
}

void unpackBlock(const EepromImage& image, ConfigRecord& record) {
    record.productId = image.getByte(kProductId);
    record.revisionMajor = image.getByte(kRevisionMajor);
    record.revisionMinor = image.getByte(kRevisionMinor);
    for (std::size_t i = 0; i < kNoticeLength; ++i) {
        record.notice[i] = static_cast<char>(image.getByte(kNotice + i));
    }
    record.i2cmode = image.getByte(kI2cmode);
    record.TWI_slaveAddress = image.getByte(kTwiSlaveAddress);
    record.followmotorparameters = image.getByte(kFollowmotorparameters);
    record.resistance = image.getFloat(kResistance);
    record.inductance = image.getFloat(kInductance);
    record.current = image.getFloat(kCurrent);
    record.drive_voltage = image.getFloat(kDriveVoltage);
    record.followpots = image.getByte(kFollowpots);
    record.ontime = image.getByte(kOntime);
    record.dutycycle = image.getByte(kDutycycle);
    record.slewrate = image.getByte(kSlewrate);
    record.recoverytime = image.getByte(kRecoverytime);
    record.fixedByte57 = image.getByte(kFixedByte57);
    record.followstepheader = image.getByte(kFollowstepheader);
    record.stepmode = image.getByte(kStepmode);
    record.checklimitswitch = image.getByte(kChecklimitswitch);
    record.checkestop = image.getByte(kCheckestop);
    record.automotorshutoff = image.getByte(kAutomotorshutoff);
    record.motorshutofftime = image.getWord(kMotorshutofftime);
    record.motorpowerreductionmode = image.getByte(kMotorpowerreductionmode);
    record.motorpowerreduction = image.getByte(kMotorpowerreduction);
    record.powerreductiontime = image.getWord(kPowerreductiontime);
    record.steppolarity = image.getByte(kSteppolarity);
    record.dirpolarity = image.getByte(kDirpolarity);
    record.followstepdir = image.getByte(kFollowstepdir);
}

bool hasBlockSignature(const EepromImage& image) {
    for (std::size_t i = 0; i < sizeof kSignatureBytes; ++i) {
        if (image.getByte(kSignature + i) != kSignatureBytes[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace kr570
