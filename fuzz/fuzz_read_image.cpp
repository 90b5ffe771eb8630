// Any bytes as an image file of every kind, and as the content that decides a file's kind:
// reading must end, stay inside the image, and store and count exactly the same whether its
// warnings are shown or only counted.
#include <cstdlib>
#include <cstring>

#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kr570;
    for (const FileKind kind :
         {FileKind::IntelHex, FileKind::SRecord, FileKind::Binary, FileKind::ByteList}) {
        const fuzz::Read quiet = fuzz::readAs(kind, data, size, false);
        const fuzz::Read shown = fuzz::readAs(kind, data, size, true);
        if (quiet.warnings != shown.warnings ||
            std::memcmp(quiet.image->data(), shown.image->data(), EepromImage::kSize) != 0) {
            std::abort();
        }
    }
    std::FILE* input = fuzz::streamOf(data, size);
    ByteSource source(input);
    Diagnostics diagnostics(nullptr, "fuzz");
    (void)chooseKind(source, "fuzz.hex", std::nullopt, diagnostics);
    std::fclose(input);
    return 0;
}
