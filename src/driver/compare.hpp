// Verifying a controller: two configuration texts or Intel HEX files (typically the text a
// controller was programmed from and a read-back of its EEPROM) are each turned into the
// configuration block the tool would write for them, and the blocks' settings are compared.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "config/config_record.hpp"
#include "driver/command_line.hpp"
#include "eeprom/config_block.hpp"
#include "eeprom/eeprom_image.hpp"

namespace kr570 {

using ConfigBlockBytes = std::array<std::uint8_t, block::kLength>;

// One side of a comparison, once loaded.
struct ComparedBlock {
    ConfigBlockBytes bytes{};
    bool fromHex = false;
};

// Prints one line per setting whose stored value differs, in the text's keywords and value
// words ("ontime: 128 (A) != 7 (B)"); when both sides come from HEX files, also the header
// fields and the reserved byte; then a summary naming both files. Returns the number of
// settings that differ (header fields do not count).
int writeDifferences(std::FILE* out, const ComparedBlock& a, const ComparedBlock& b,
                     const std::string& nameA, const std::string& nameB);

// The two files and where the comparison reports.
struct CompareRun {
    const std::string& nameA;
    const std::string& nameB;
    CommandLine::InputKind kind;  // what both hold, or ByName: by each name's last character
    std::FILE* out;               // the differences and the summary
    std::FILE* err;               // a file that cannot be read
    std::FILE* warnings;          // warnings about either input; nullptr to leave them unsaid
};

// Exit statuses of a comparison.
inline constexpr int kCompareEqual = 0;
inline constexpr int kCompareDifferent = 1;
inline constexpr int kCompareTrouble = 2;

// Loads both files through the run's one record and image and compares them.
int compareFiles(const CompareRun& run, ConfigRecord& record, EepromImage& image);

}  // namespace kr570
