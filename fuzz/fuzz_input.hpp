// Runs a fuzzer's bytes through the conversions' own pipeline.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "driver/pipeline.hpp"

namespace kr570::fuzz {

inline std::FILE* streamOf(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return std::fopen("/dev/null", "r");
    }
    return fmemopen(const_cast<std::uint8_t*>(data), size, "r");
}

// Where warnings go: written to for real, then thrown away; opened once for every input.
inline std::FILE* discard() {
    static std::FILE* const sink = std::fopen("/dev/null", "w");
    return sink;
}

// Reads `size` bytes at `data` as an input of kind `kind` (or of the kind its content and name
// say), as a run does; with `shown`, the warnings are printed (to nowhere) rather than only
// counted.
inline std::unique_ptr<Configuration> readAs(std::optional<FileKind> kind, const std::uint8_t* data,
                                             std::size_t size, bool shown) {
    auto configuration = std::make_unique<Configuration>();
    std::FILE* input = streamOf(data, size);
    Reporter reporter(nullptr, shown ? discard() : nullptr, nullptr, {});
    ByteSource source(input);
    const FileName name{"fuzz.hex"};
    (void)loadConfiguration(Input{source, name, kind}, {}, reporter, *configuration);
    std::fclose(input);
    return configuration;
}

}  // namespace kr570::fuzz
