// Turns a fuzzer's bytes into the open input stream the readers expect.
#pragma once

#include <cstdint>
#include <cstdio>

namespace kr570::fuzz {

inline std::FILE* streamOf(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return std::fopen("/dev/null", "r");
    }
    return fmemopen(const_cast<std::uint8_t*>(data), size, "r");
}

// Where console text and warnings go: written to for real, then thrown away.
inline std::FILE* discard() {
    return std::fopen("/dev/null", "w");
}

}  // namespace kr570::fuzz
