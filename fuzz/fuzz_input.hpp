// Runs a fuzzer's bytes through the conversions' own pipeline.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "config/config_record.hpp"
#include "driver/conversion.hpp"
#include "eeprom/config_block.hpp"
#include "eeprom/eeprom_image.hpp"

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

// What reading an input left: the record, the image and how many warnings it gave.
struct Read {
    ConfigRecord record{};
    std::unique_ptr<EepromImage> image = std::make_unique<EepromImage>();
    int warnings = 0;
};

// Reads `size` bytes at `data` as an input of kind `kind`, as a run does; with `shown`, the
// warnings are printed (to nowhere) rather than only counted.
inline Read readAs(FileKind kind, const std::uint8_t* data, std::size_t size, bool shown) {
    Read read;
    setDefaults(read.record);
    std::FILE* input = streamOf(data, size);
    Diagnostics diagnostics(shown ? discard() : nullptr, "fuzz");
    ByteSource source(input);
    readInput(kind, source, read.record, *read.image, diagnostics);
    checkSettings(kind, false, read.record, diagnostics);
    packBlock(*read.image, read.record);
    read.warnings = diagnostics.count();
    std::fclose(input);
    return read;
}

}  // namespace kr570::fuzz
