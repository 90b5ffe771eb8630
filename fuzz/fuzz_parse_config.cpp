// Any bytes as configuration text: parsing must end, with its warnings printed, and count the
// same warnings when they are not printed.
#include <cstdlib>

#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kr570;
    const fuzz::Read shown = fuzz::readAs(FileKind::Text, data, size, true);
    const fuzz::Read quiet = fuzz::readAs(FileKind::Text, data, size, false);
    if (shown.warnings != quiet.warnings) {
        std::abort();  // --strict would decide otherwise with --quiet
    }
    return 0;
}
