// Any bytes as configuration text: the parser must end and, with warnings on, store exactly
// what it stores with them off.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "config/config_record.hpp"
#include "eeprom/config_block.hpp"
#include "fuzz_input.hpp"
#include "text/config_parser.hpp"

namespace {

std::unique_ptr<kr570::EepromImage> parsedBlock(const std::uint8_t* data, std::size_t size,
                                                bool warnings) {
    using namespace kr570;
    ConfigRecord record{};
    setDefaults(record);
    std::FILE* input = fuzz::streamOf(data, size);
    std::FILE* sink = fuzz::discard();
    // Printed or only counted, the warnings must not change what is stored.
    Diagnostics diagnostics(warnings ? sink : nullptr, "fuzz.txt");
    parseConfigText(input, record, sink, diagnostics);
    std::fclose(input);
    std::fclose(sink);
    auto image = std::make_unique<EepromImage>();
    buildBlock(*image, record);
    // The block keeps 16 bits of the times; compare the whole values too.
    image->putWord(100, static_cast<std::uint32_t>(record.motorshutofftime) >> 16);
    image->putWord(102, static_cast<std::uint32_t>(record.powerreductiontime) >> 16);
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto quiet = parsedBlock(data, size, false);
    const auto loud = parsedBlock(data, size, true);
    if (std::memcmp(quiet->data(), loud->data(), 104) != 0) {
        std::abort();
    }
    return 0;
}
