#include "eeprom/config_block.hpp"

#include "config/settings.hpp"

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
    for (const Setting& setting : kSettings) {
        if (setting.kind == ValueKind::Float) {
            image.putFloat(setting.offset, setting.floatIn(record));
        } else if (setting.kind == ValueKind::Time) {
            // The controller keeps both times as 16-bit words; larger values lose their high
            // bits.
            image.putWord(setting.offset, static_cast<std::uint32_t>(setting.timeIn(record)));
        } else {
            image.putByte(setting.offset, setting.byteIn(record));
        }
    }
    image.putByte(kFixedByte57, record.fixedByte57);
    return static_cast<int>(kLength);
}

void unpackBlock(const EepromImage& image, ConfigRecord& record) {
    record.productId = image.getByte(kProductId);
    record.revisionMajor = image.getByte(kRevisionMajor);
    record.revisionMinor = image.getByte(kRevisionMinor);
    for (std::size_t i = 0; i < kNoticeLength; ++i) {
        record.notice[i] = static_cast<char>(image.getByte(kNotice + i));
    }
    for (const Setting& setting : kSettings) {
        if (setting.kind == ValueKind::Float) {
            setting.floatIn(record) = image.getFloat(setting.offset);
        } else if (setting.kind == ValueKind::Time) {
            setting.timeIn(record) = image.getWord(setting.offset);
        } else {
            setting.byteIn(record) = image.getByte(setting.offset);
        }
    }
    record.fixedByte57 = image.getByte(kFixedByte57);
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
