// Any bytes as configuration text: parsing must end, and store and count exactly the same
// whether its warnings are shown or only counted.
#include <cstdlib>
#include <cstring>

#include "eeprom/config_block.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kr570;
    const fuzz::Read quiet = fuzz::readAs(FileKind::Text, data, size, false);
    const fuzz::Read shown = fuzz::readAs(FileKind::Text, data, size, true);
    // The block keeps 16 bits of the times; the record keeps them whole.
    if (quiet.warnings != shown.warnings ||
        std::memcmp(quiet.image->data(), shown.image->data(), block::kLength) != 0 ||
        quiet.record.motorshutofftime != shown.record.motorshutofftime ||
        quiet.record.powerreductiontime != shown.record.powerreductiontime) {
        std::abort();
    }
    return 0;
}
