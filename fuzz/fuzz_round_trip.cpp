// Any bytes as an Intel HEX file, through the whole round trip: unpack, report, parse, pack.
// Once a block has been through the text, a second trip must give the same block back,
// for blocks whose floats print exactly enough with two decimals.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "config/config_record.hpp"
#include "config/settings.hpp"
#include "eeprom/config_block.hpp"
#include "fuzz_input.hpp"
#include "hex/hex_reader.hpp"
#include "text/config_parser.hpp"
#include "text/config_report.hpp"

namespace {

using namespace kr570;

// Report the block, read the report back and pack it as the text-to-HEX run does.
std::unique_ptr<EepromImage> throughText(const EepromImage& image) {
    ConfigRecord unpacked{};
    unpackBlock(image, unpacked);

    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* report = open_memstream(&text, &length);
    writeConfigReport(report, unpacked, "fuzz.hex", std::tm{});
    std::fclose(report);

    ConfigRecord parsed{};
    setDefaults(parsed);
    auto result = std::make_unique<EepromImage>();
    buildBlock(*result, parsed);
    std::FILE* input = fuzz::streamOf(reinterpret_cast<const std::uint8_t*>(text), length);
    std::FILE* sink = fuzz::discard();
    parseConfigText(input, parsed, sink);
    std::fclose(input);
    std::fclose(sink);
    std::free(text);
    packBlock(*result, parsed);
    return result;
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
    auto image = std::make_unique<EepromImage>();
    std::FILE* input = fuzz::streamOf(data, size);
    readHex(input, *image);
    std::fclose(input);

    const auto once = throughText(*image);
    if (!ordinaryFloats(*once)) {
        return 0;
    }
    const auto twice = throughText(*once);
    if (std::memcmp(once->data(), twice->data(), block::kLength) != 0) {
        std::abort();
    }
    return 0;
}
