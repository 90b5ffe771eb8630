#include "hex/hex_fast_path.hpp"

#include <cstdlib>
#include <cstring>

namespace kr570 {

RecordDecoder fastRecordDecoder() {
    // Asked once per file, so that a test can switch paths between two reads.
    const char* wanted = std::getenv("KR570_HEX_DECODER");
    if (wanted == nullptr) {
        wanted = "";
    }
    return std::strcmp(wanted, "scalar") == 0 ? nullptr : detail::processorRecordDecoder(wanted);
}

}  // namespace kr570
