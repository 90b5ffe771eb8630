// Any bytes as configuration text: parsing must end, with its warnings printed.
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)kr570::fuzz::readAs(kr570::FileKind::Text, data, size, true);
    return 0;
}
