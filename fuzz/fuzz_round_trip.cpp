// Any bytes as an Intel HEX file, through the whole round trip as the runs do it: read the
// image, write the report, read the report, write the block. Once a block has been through the
// text, a second trip must give the same block back, for blocks whose floats print exactly
// enough with two decimals.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "config/settings.hpp"
#include "eeprom/config_block.hpp"
#include "fuzz_input.hpp"

namespace {

using namespace kr570;

// The report of a block read back as a text, as a text-to-HEX run reads it.
std::unique_ptr<Configuration> throughText(const Configuration& image) {
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* report = open_memstream(&text, &length);
    writeConfiguration(FileKind::Text, report, image, "fuzz.hex");
    std::fclose(report);
    auto back =
        fuzz::readAs(FileKind::Text, reinterpret_cast<const std::uint8_t*>(text), length, false);
    std::free(text);
    return back;
}

// Floats whose two-decimal text reads back into the same float.
bool ordinaryFloats(const EepromImage& image) {
    for (const Setting& setting : kSettings) {
        if (setting.kind != ValueKind::Float) {
            continue;
        }
        const float value = image.getFloat(setting.offset);
        if (!std::isfinite(value) || std::fabs(value) >= 1.0e5F) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto image = fuzz::readAs(FileKind::IntelHex, data, size, false);
    const auto once = throughText(*image);
    if (!ordinaryFloats(once->image)) {
        return 0;
    }
    const auto twice = throughText(*once);
    if (std::memcmp(once->image.data(), twice->image.data(), block::kLength) != 0) {
        std::abort();
    }
    return 0;
}
