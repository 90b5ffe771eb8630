// Any bytes as an Intel HEX file: the reader must end, stay inside the image and, with
// warnings on, store exactly what it stores with them off.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "eeprom/eeprom_image.hpp"
#include "fuzz_input.hpp"
#include "hex/hex_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kr570;
    auto quiet = std::make_unique<EepromImage>();
    auto loud = std::make_unique<EepromImage>();

    std::FILE* input = fuzz::streamOf(data, size);
    readHex(input, *quiet);
    std::fclose(input);

    std::FILE* sink = fuzz::discard();
    Diagnostics diagnostics(sink, "fuzz.hex");
    input = fuzz::streamOf(data, size);
    readHex(input, *loud, diagnostics);
    std::fclose(input);
    std::fclose(sink);

    if (std::memcmp(quiet->data(), loud->data(), EepromImage::kSize) != 0) {
        std::abort();  // warnings must never change what is stored
    }
    return 0;
}
