// Any bytes as an image file of every kind, and as the content that decides a file's kind:
// reading must end and stay inside the image, with its warnings printed.
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kr570;
    for (const FileKind kind :
         {FileKind::IntelHex, FileKind::SRecord, FileKind::Binary, FileKind::ByteList}) {
        (void)fuzz::readAs(kind, data, size, true);
    }
    std::FILE* input = fuzz::streamOf(data, size);
    ByteSource source(input);
    Diagnostics diagnostics(nullptr, "fuzz");
    (void)chooseKind(source, "fuzz.hex", std::nullopt, diagnostics);
    std::fclose(input);
    return 0;
}
