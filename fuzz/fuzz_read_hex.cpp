// Any bytes as an Intel HEX file: reading must end, stay inside the image, and store and count
// exactly the same whether its warnings are shown or only counted.
#include <cstdlib>
#include <cstring>

#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kr570;
    const fuzz::Read quiet = fuzz::readAs(FileKind::IntelHex, data, size, false);
    const fuzz::Read shown = fuzz::readAs(FileKind::IntelHex, data, size, true);
    if (quiet.warnings != shown.warnings ||
        std::memcmp(quiet.image->data(), shown.image->data(), EepromImage::kSize) != 0) {
        std::abort();
    }
    return 0;
}
