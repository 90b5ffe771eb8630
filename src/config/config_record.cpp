#include "config/config_record.hpp"

#include <cstring>

#include "config/settings.hpp"

namespace kr570 {

void setDefaults(ConfigRecord& record) {
    record.productId = kBuiltProductId;
    record.revisionMajor = kBuiltRevisionMajor;
    record.revisionMinor = kBuiltRevisionMinor;
    static_assert(sizeof kDefaultNotice <= kNoticeLength, "the notice must fit the block");
    std::memcpy(record.notice.data(), kDefaultNotice, sizeof kDefaultNotice);
    record.fixedByte57 = kDefaultFixedByte57;
    for (const Setting& setting : kSettings) {
        if (!setting.hasFactoryValue) {
            continue;
        }
        if (setting.kind == ValueKind::Float) {
            setting.floatIn(record) = static_cast<float>(setting.factoryValue);
        } else if (setting.kind == ValueKind::Time) {
            setting.timeIn(record) = static_cast<std::int32_t>(setting.factoryValue);
        } else {
            setting.byteIn(record) = static_cast<std::uint8_t>(setting.factoryValue);
        }
    }
}

}  // namespace kr570
