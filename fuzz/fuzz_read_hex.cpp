// Any bytes as an Intel HEX file: the reader must end, stay inside the image and, with
// warnings on, store exactly what it stores with them off; the wide decoders of regular
// records must store and report exactly what the scalar scanner does.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "eeprom/eeprom_image.hpp"
#include "fuzz_input.hpp"
#include "hex/hex_reader.hpp"

namespace {

using namespace kr570;

// Reads the input with the decoder that KR570_HEX_DECODER names; returns the warnings.
std::string readWith(const char* decoder, const std::uint8_t* data, std::size_t size,
                     EepromImage& image) {
    setenv("KR570_HEX_DECODER", decoder, 1);
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* sink = open_memstream(&text, &length);
    Diagnostics diagnostics(sink, "fuzz.hex");
    std::FILE* input = fuzz::streamOf(data, size);
    readHex(input, image, diagnostics);
    std::fclose(input);
    std::fclose(sink);
    std::string warnings(text, length);
    std::free(text);
    return warnings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto quiet = std::make_unique<EepromImage>();
    auto scalar = std::make_unique<EepromImage>();
    auto wide = std::make_unique<EepromImage>();

    std::FILE* input = fuzz::streamOf(data, size);
    readHex(input, *quiet);
    std::fclose(input);

    const std::string scalarWarnings = readWith("scalar", data, size, *scalar);
    if (std::memcmp(quiet->data(), scalar->data(), EepromImage::kSize) != 0) {
        std::abort();  // warnings must never change what is stored
    }
    for (const char* decoder : {"", "ssse3"}) {
        if (readWith(decoder, data, size, *wide) != scalarWarnings ||
            std::memcmp(wide->data(), scalar->data(), EepromImage::kSize) != 0) {
            std::abort();  // the wide decoders must read exactly like the scalar scanner
        }
    }
    return 0;
}
