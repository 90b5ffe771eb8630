// Verifying a controller: two configuration texts or image files (typically the text a
// controller was programmed from and a read-back of its EEPROM) are each turned into the
// configuration block the tool would write for them, and the blocks' settings are compared.
#pragma once

#include "driver/command_line.hpp"
#include "driver/console.hpp"

namespace kr570 {

// Exit statuses of a comparison.
inline constexpr int kCompareEqual = 0;
inline constexpr int kCompareDifferent = 1;
inline constexpr int kCompareTrouble = 2;

// Loads both files of the command line, each into a configuration of its own, and prints one
// line per setting whose stored value differs, in the text's keywords and value words
// ("ontime: 128 (A) != 7 (B)"); when both sides are images, also the header fields and the
// reserved byte; then a summary naming both files.
int compareFiles(const CommandLine& commandLine, Console& console);

}  // namespace kr570
