// Processors without a wide decoder: the scalar scanner reads every record.
#include "hex/hex_fast_path.hpp"

namespace kr570::detail {

RecordDecoder processorRecordDecoder(const char* /*wanted*/) {
    return nullptr;
}

}  // namespace kr570::detail
