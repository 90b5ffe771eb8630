// Any bytes as an image file of every kind, and as a file whose kind its content and name
// decide: reading must end and stay inside the image, with its warnings printed.
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kr570;
    for (const FileKind kind :
         {FileKind::IntelHex, FileKind::SRecord, FileKind::Binary, FileKind::ByteList}) {
        (void)fuzz::readAs(kind, data, size, true);
    }
    (void)fuzz::readAs(std::nullopt, data, size, true);
    return 0;
}
